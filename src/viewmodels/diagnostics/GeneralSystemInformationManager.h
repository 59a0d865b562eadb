#pragma once

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <vector>

class CancellationCondition;
class ComponentInformation;

// Packs a description of the machine, the program's logs and its configuration
// into one gzip-compressed tar archive with the external tar program. Runs
// synchronously in the caller's thread: copying large logs and tar take
// seconds, so the About page runs it in a thread of its own.
class GeneralSystemInformationManager
{
    Q_DECLARE_TR_FUNCTIONS(GeneralSystemInformationManager)

public:
    GeneralSystemInformationManager();
    ~GeneralSystemInformationManager();
    GeneralSystemInformationManager(const GeneralSystemInformationManager&) = delete;
    GeneralSystemInformationManager& operator=(const GeneralSystemInformationManager&) = delete;

    // False, with errorText() for the user, when no complete archive was written:
    // then nothing is left at archivePath, and a file that was there stays as it was.
    // An existing file is replaced only when replaceExisting is set.
    bool CollectSystemInformation(const QString& archivePath, bool replaceExisting = false);
    bool CompressDirectory(const QString& archivePath, const QString& folder, bool replaceExisting = false);

    QString errorText() const { return error; }
    // How long tar may run; settable for tests.
    void setProgramTimeout(int msecs) { programTimeout = msecs; }
    // Once canceled, the collectors stop copying, tar is killed and no archive is written.
    void setCancellation(const CancellationCondition* condition);

private:
    bool fail(const QString& text);
    bool canceled() const;

    std::vector<std::unique_ptr<ComponentInformation>> components;
    int programTimeout = 30000;
    const CancellationCondition* cancellation = nullptr;
    QString error;
};
