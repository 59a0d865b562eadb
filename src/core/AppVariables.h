#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <utility>

// Named application variables, written ${name} or ${name:option} in texts.
// Names are case-insensitive; the option keeps its case.
class AppVariables
{
public:
    using Function = std::function<QString(const QString&)>;

    AppVariables(std::initializer_list<std::pair<QString, Function>> variables);

    QString get(const QString& name, const QString& option) const;
    QString substitute(const QString& text) const;
    QList<QString> Names() const;

    // A build switch is on when its lower-cased text is "true".
    static bool buildFlag(const QString& key);
    // A value of the build settings; empty when the key is missing.
    static QString buildValue(const QString& key);

    static AppVariables sm_stdVars;

private:
    std::map<QString, Function> m_variables;
};
