#include "UserCommandType.h"

template<> Enum<UserCommandType>::Container Enum<UserCommandType>::Values{
    {UserCommandNamespace::Text, QStringLiteral("Автозамена"), QStringLiteral("text")},
    {UserCommandNamespace::Key, QStringLiteral("Сочетание клавиш"), QStringLiteral("key")},
    {UserCommandNamespace::Exe, QStringLiteral("Запуск программ"), QStringLiteral("exe")},
    {UserCommandNamespace::FileCopy, QStringLiteral("Файл автозамены"), QStringLiteral("file")},
};
