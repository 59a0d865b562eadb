#include "KivaroViewModel.h"

#include "AppVariables.h"
#include "AsrManager.h"
#include "DiscardQuestion.h"
#include "LocalKivaroManager.h"
#include "PropertyChange.h"

#include <QtDebug>

#include <exception>

const QRegularExpression KivaroViewModel::m_validationRegEx(QStringLiteral("[ .,\\r\\n\\tА-Яа-яЁё]+"));

namespace {
const QString Title = QStringLiteral("Мои слова");

UserNotification outcome(bool saved)
{
    UserNotification notification;
    notification.setForce(true);
    notification.setAction(NotificationActionShow);
    notification.setTitle(Title);
    notification.setType(saved ? NotificationTypeInformation : NotificationTypeCritical);
    notification.setMessage(saved ? QStringLiteral("Список слов успешно обновлён.")
                                  : QStringLiteral("Не удалось обновить список слов. Попробуйте снова через некоторое "
                                                   "время или обратитесь к системному администратору."));
    return notification;
}
} // namespace

KivaroViewModel::KivaroViewModel(AsrManager* asrManager, LocalKivaroManager* kivaroManager, QObject* parent)
    : QObject(parent)
    , asrManager(asrManager)
    , kivaroManager(kivaroManager)
    , kivaroWords(new ValidatableText(this))
    , tooltip(QStringLiteral("Слова должны состоять только из русских букв и должны быть разделены пробелом, "
                             "переносом строки, точкой или запятой.\n")
              + QStringLiteral("Если слово из списка не распознаётся, передайте его разработчикам через окно "
                               "«Обратная связь». . %1")
                    .arg(AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("ThemeUpdateText"))))
{
    kivaroWords->setTextValidator(&KivaroViewModel::ValidateKivaroWords);
    connect(kivaroWords, &ValidatableText::changed_IsValid, this, &KivaroViewModel::isValidChanged);
}

KivaroViewModel::~KivaroViewModel() = default;

void KivaroViewModel::ValidateKivaroWords(ValidationArgs* args)
{
    if (args->Text.isEmpty())
        return;
    const QRegularExpressionMatch match = m_validationRegEx.match(args->Text);
    if (!match.hasMatch() || match.capturedLength() != args->Text.size() || match.capturedStart() != 0)
        args->Error = QStringLiteral("Допустимы только русские слова и разделители: пробелы, перенос строки, точки и "
                                     "запятые");
}

QStringList KivaroViewModel::SplitWords(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[ .,\\r\\n\\t]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

void KivaroViewModel::set_KivaroWords(ValidatableText* words)
{
    changeProperty(this, kivaroWords, words, &KivaroViewModel::changed_KivaroWords);
}

void KivaroViewModel::set_IsCloseConfirmed(bool confirmed)
{
    changeProperty(this, isCloseConfirmed, confirmed, &KivaroViewModel::changed_IsCloseConfirmed);
}

void KivaroViewModel::set_Tooltip(QString text)
{
    changeProperty(this, tooltip, text, &KivaroViewModel::changed_Tooltip);
}

void KivaroViewModel::isValidChanged(bool)
{
    emit changed_CanSave(get_CanSave());
}

void KivaroViewModel::onLoad()
{
    if (!kivaroManager)
        return;
    loadedText = kivaroManager->GetWords().join(QLatin1Char('\n'));
    kivaroWords->SetText(loadedText);
}

bool KivaroViewModel::applyCommand()
{
    if (kivaroWords->get_Text() == loadedText)
        return true;
    if (!kivaroWords->CheckAndSetFocus())
        return false;
    const bool saved = saveWords();
    emit notifyUser(outcome(saved));
    return saved;
}

bool KivaroViewModel::saveWords()
{
    try {
        if (!kivaroManager)
            return false;
        const QString text = kivaroWords->get_Text();
        const bool saved = kivaroManager->UpdateWords(SplitWords(text));
        // Sent even when it could not be stored: the server learns the words anyway.
        if (asrManager)
            asrManager->stopRecognition();
        if (saved)
            loadedText = text;
        return saved;
    } catch (const std::exception& e) {
        qCritical().noquote() << QStringLiteral("Failed to update Kivaro words: ") + QString::fromUtf8(e.what());
    } catch (...) {
        qCritical().noquote() << QStringLiteral("Failed to update Kivaro words: unknown exception");
    }
    return false;
}

bool KivaroViewModel::cancelCommand()
{
    return kivaroWords->get_Text() == loadedText || DiscardQuestion::ask(QStringLiteral("Дообучение"));
}
