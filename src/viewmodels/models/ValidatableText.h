#pragma once

#include "ValidationArgs.h"

#include <QObject>
#include <QString>

#include <functional>

// The text of one input control with its current error; an invalid text is
// still stored and shown, only Error/IsValid mark it. GUI thread only.
class ValidatableText : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ get_Text WRITE set_Text NOTIFY changed_Text)
    Q_PROPERTY(QString Error READ get_Error NOTIFY changed_Error)
    Q_PROPERTY(bool IsValid READ get_IsValid NOTIFY changed_IsValid)
    Q_PROPERTY(bool IsFocused READ get_IsFocused NOTIFY changed_IsFocused)

public:
    using TextValidator = std::function<void(ValidationArgs*)>;

    explicit ValidatableText(QObject* parent = nullptr);
    ~ValidatableText() override;

    QString get_Text() const { return text; }
    QString get_Error() const { return error; }
    bool get_IsValid() const { return error.isEmpty(); }
    bool get_IsFocused() const { return isFocused; }

    void setTextValidator(TextValidator validator) { textValidator = std::move(validator); }

    // Stores a text known to be valid (from settings) without validating it.
    void SetText(const QString& value);
    // Re-validates the current text against the owner's current state; on failure
    // emits validateFailed so the view can move the focus here. Exceptions other
    // than the program's own pass to the caller.
    bool CheckAndSetFocus();

    virtual void ValidateText(ValidationArgs* args);

public slots:
    // The view's setter: never lets an exception out into QML.
    void set_Text(QString value);

signals:
    void changed_Text(QString text);
    void changed_Error(QString error);
    void changed_IsValid(bool isValid);
    void changed_IsFocused(bool isFocused);
    void validateFailed();

private:
    void validateAndStore(const QString& value);

    QString text;
    QString error;
    bool isFocused = false;
    TextValidator textValidator;
};
