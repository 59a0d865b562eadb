#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What every fuzz target shares: LLVMFuzzerInitialize, which makes one
// application object for the process, gives it the program's identity with
// settings and data in a private folder and drops Qt's own messages
// (FUZZ_VERBOSE=1 keeps them) so that logging does not dominate the run.
namespace FuzzEnvironment {
// Defined by a target that needs more before its first input; runs after the above.
void setUp() __attribute__((weak));
// A private folder for the files a target writes, fresh for the process.
QString folder();
// Input bytes as the text a peer would send (invalid UTF-8 replaced, as QString does).
QString text(const char* data, size_t size);
// Lines of the input; a final line without a line end counts.
QStringList lines(const char* data, size_t size);
// Writes the whole file or fails.
void writeFile(const QString& path, const QByteArray& bytes);
// The bytes as the settings file, under a name not used before in this process
// (Qt caches a parsed file and trusts its size and millisecond time stamp to
// notice a change); its path.
QString writeFreshSettingsFile(const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);
// A finding: prints what broke and aborts, so libFuzzer keeps the input.
[[noreturn]] void fail(const QString& what);
// Every high surrogate followed by a low one and every low one preceded by a high one.
bool wellFormed(const QString& text);
} // namespace FuzzEnvironment
