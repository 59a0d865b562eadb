#pragma once

#include "ClientThemeInfo.h"
#include "FormMetadata.h"
#include "RecognitionMode.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <optional>

// What the user wants recognition to feed: the wanted mode and, for the form
// modes, the form, its focused element and theme; plus the window that gets
// the text. Read from the connection driver's thread for every audio buffer
// while the GUI and form-session threads change it, so every accessor hands
// out copies taken under the mutex, never pointers into the object.
class TargetModeInfo : public QObject
{
    Q_OBJECT

public:
    explicit TargetModeInfo(QObject* parent = nullptr);
    ~TargetModeInfo() override;

    // Raw fields, no fallback. An absent optional field reads as nullopt.
    std::optional<RecognitionMode> mode() const;
    std::optional<FormMetadata> form() const;
    std::optional<QString> formElement() const;
    QString themeId() const;
    bool isEmpty() const;
    unsigned long getWindowHandle() const;

    // A null argument removes the field; otherwise a copy is stored.
    void setMode(const RecognitionMode* mode);
    void setForm(const FormMetadata* form);
    void setFormElement(const QString* element);
    void setThemeId(const QString& themeId);
    void setIsEmpty(bool isEmpty);
    void setWindowHandle(unsigned long window);

    // The effective mode: a recorded dictation or form mode, else the idle
    // mode from the settings (which is then stored).
    RecognitionMode getTargetMode();
    // The effective mode with copies of the form and element, taken together.
    RecognitionMode getTargetModeInfo(std::optional<FormMetadata>* form, std::optional<QString>* element);

    void BackupTargetMode(const RecognitionMode* mode, const FormMetadata* form, const QString* element,
                          const QString& themeId);
    void ResetTargetMode();
    // A form kept through a stop (recorded with an idle mode) becomes the
    // target again in its own mode; false when no form is recorded.
    bool RestoreFormMode();
    // Forgets a form kept through a stop; a form mode that is the target stays.
    void ForgetPausedForm();
    void BackupTargetElement(const QString* element);
    void UpdateTargetCommandSet(const QJsonArray& commands);
    void UpdateTargetFormSettings(const QJsonObject& settings);
    void UpdateTargetTheme(const QString& themeId);
    void UpdateTargetHandles(unsigned long window);
    bool GetTargetHandles(unsigned long* window) const;

    // The theme the target asks for. True with *found untouched when the
    // target asks for none; true with *found set when it is in the list;
    // false when the wanted theme is not in the list.
    bool FindTargetTheme(const QList<ClientThemeInfo>& themes, std::optional<ClientThemeInfo>* found);

    static bool isFormMode(RecognitionMode mode);

private:
    // With the mutex held.
    RecognitionMode targetModeLocked();
    // A form is the target or kept through a stop: the form's updates apply.
    bool hasFormTargetLocked();

    mutable QRecursiveMutex m_mutex;
    std::optional<FormMetadata> m_form;
    std::optional<QString> m_formElement;
    std::optional<RecognitionMode> m_mode;
    QString m_themeId;
    bool m_isEmpty = true;
    unsigned long m_windowHandle = 0;
};
