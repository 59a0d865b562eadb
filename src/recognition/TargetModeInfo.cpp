#include "TargetModeInfo.h"

#include "LaunchSettings.h"

#include <QJsonDocument>
#include <QMutexLocker>

TargetModeInfo::TargetModeInfo(QObject* parent)
    : QObject(parent)
{
}

TargetModeInfo::~TargetModeInfo() = default;

bool TargetModeInfo::isFormMode(RecognitionMode mode)
{
    return mode == RecognitionModeNamespace::TemplatedForm || mode == RecognitionModeNamespace::TemplatedWizardForm;
}

std::optional<RecognitionMode> TargetModeInfo::mode() const
{
    QMutexLocker locker(&m_mutex);
    return m_mode;
}

std::optional<FormMetadata> TargetModeInfo::form() const
{
    QMutexLocker locker(&m_mutex);
    return m_form;
}

std::optional<QString> TargetModeInfo::formElement() const
{
    QMutexLocker locker(&m_mutex);
    return m_formElement;
}

QString TargetModeInfo::themeId() const
{
    QMutexLocker locker(&m_mutex);
    return m_themeId;
}

bool TargetModeInfo::isEmpty() const
{
    QMutexLocker locker(&m_mutex);
    return m_isEmpty;
}

unsigned long TargetModeInfo::getWindowHandle() const
{
    QMutexLocker locker(&m_mutex);
    return m_windowHandle;
}

void TargetModeInfo::setMode(const RecognitionMode* mode)
{
    QMutexLocker locker(&m_mutex);
    m_mode = mode ? std::optional<RecognitionMode>(*mode) : std::nullopt;
}

void TargetModeInfo::setForm(const FormMetadata* form)
{
    QMutexLocker locker(&m_mutex);
    if (form) {
        FormMetadata copy;
        copy.Clone(*form);
        m_form = copy;
    } else {
        m_form.reset();
    }
}

void TargetModeInfo::setFormElement(const QString* element)
{
    QMutexLocker locker(&m_mutex);
    m_formElement = element ? std::optional<QString>(*element) : std::nullopt;
}

void TargetModeInfo::setThemeId(const QString& themeId)
{
    QMutexLocker locker(&m_mutex);
    m_themeId = themeId;
}

void TargetModeInfo::setIsEmpty(bool isEmpty)
{
    QMutexLocker locker(&m_mutex);
    m_isEmpty = isEmpty;
}

void TargetModeInfo::setWindowHandle(unsigned long window)
{
    QMutexLocker locker(&m_mutex);
    m_windowHandle = window;
}

RecognitionMode TargetModeInfo::targetModeLocked()
{
    if (!m_isEmpty && m_mode && *m_mode > RecognitionModeNamespace::VoiceActivation)
        return *m_mode;
    const bool voiceActivation = LaunchSettings().VoiceActivationEnabled;
    m_mode = voiceActivation ? RecognitionModeNamespace::VoiceActivation : RecognitionModeNamespace::Off;
    return *m_mode;
}

bool TargetModeInfo::hasFormTargetLocked()
{
    return m_form.has_value();
}

RecognitionMode TargetModeInfo::getTargetMode()
{
    QMutexLocker locker(&m_mutex);
    return targetModeLocked();
}

RecognitionMode TargetModeInfo::getTargetModeInfo(std::optional<FormMetadata>* form, std::optional<QString>* element)
{
    QMutexLocker locker(&m_mutex);
    if (form)
        *form = m_form;
    if (element)
        *element = m_formElement;
    return targetModeLocked();
}

void TargetModeInfo::BackupTargetMode(const RecognitionMode* mode, const FormMetadata* form, const QString* element,
                                      const QString& themeId)
{
    QMutexLocker locker(&m_mutex);
    setMode(mode);
    setForm(form);
    setFormElement(element);
    m_themeId = themeId;
    m_isEmpty = false;
    m_windowHandle = 0;
}

void TargetModeInfo::ResetTargetMode()
{
    QMutexLocker locker(&m_mutex);
    m_isEmpty = true;
    m_formElement.reset();
    m_themeId.clear();
    m_mode.reset();
    m_form.reset();
    m_windowHandle = 0;
}

bool TargetModeInfo::RestoreFormMode()
{
    QMutexLocker locker(&m_mutex);
    if (!m_form)
        return false;
    m_mode = m_form->mode() == 0 ? RecognitionModeNamespace::TemplatedForm : RecognitionModeNamespace::TemplatedWizardForm;
    m_isEmpty = false;
    m_windowHandle = 0;
    return true;
}

void TargetModeInfo::ForgetPausedForm()
{
    QMutexLocker locker(&m_mutex);
    if (isFormMode(targetModeLocked()))
        return;
    m_form.reset();
    m_formElement.reset();
}

void TargetModeInfo::BackupTargetElement(const QString* element)
{
    QMutexLocker locker(&m_mutex);
    if (isFormMode(targetModeLocked()) || hasFormTargetLocked())
        setFormElement(element);
}

void TargetModeInfo::UpdateTargetCommandSet(const QJsonArray& commands)
{
    QMutexLocker locker(&m_mutex);
    if (hasFormTargetLocked())
        m_form->setFormCommands(commands);
}

void TargetModeInfo::UpdateTargetFormSettings(const QJsonObject& settings)
{
    QMutexLocker locker(&m_mutex);
    if (hasFormTargetLocked())
        m_form->setFormSettings(QString::fromUtf8(QJsonDocument(settings).toJson(QJsonDocument::Compact)));
}

void TargetModeInfo::UpdateTargetTheme(const QString& themeId)
{
    QMutexLocker locker(&m_mutex);
    m_themeId = themeId;
    if (hasFormTargetLocked())
        m_form->setThemeId(themeId);
}

void TargetModeInfo::UpdateTargetHandles(unsigned long window)
{
    QMutexLocker locker(&m_mutex);
    m_windowHandle = window;
}

bool TargetModeInfo::GetTargetHandles(unsigned long* window) const
{
    QMutexLocker locker(&m_mutex);
    if (window)
        *window = m_windowHandle;
    return m_windowHandle != 0;
}

bool TargetModeInfo::FindTargetTheme(const QList<ClientThemeInfo>& themes, std::optional<ClientThemeInfo>* found)
{
    QMutexLocker locker(&m_mutex);
    const RecognitionMode mode = targetModeLocked();
    if (mode == RecognitionModeNamespace::Off || mode == RecognitionModeNamespace::VoiceActivation)
        return true;

    QString wanted = m_themeId;
    if (isFormMode(mode) && m_form && !m_form->themeId().isEmpty())
        wanted = m_form->themeId();
    if (wanted.isEmpty())
        return true;

    for (const ClientThemeInfo& theme : themes) {
        if (theme.id() == wanted) {
            if (found)
                *found = theme;
            return true;
        }
    }
    return false;
}
