#include "TypingText.h"

#include <QStringList>

QString TypingText::mixed(int length)
{
    static const QStringList sentences{
        QStringLiteral("Пациент Иванов И. И., 54 года, поступил с жалобами на боль в грудной клетке. "),
        QStringLiteral("BP 135/85 mmHg, pulse 78 bpm; SpO2 97%.\n"),
        QStringLiteral("Назначено: ЭКГ № 2, общий анализ крови — «cito». "),
        QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю! "),
        QStringLiteral("ШИРОКАЯ ЭЛЕКТРИФИКАЦИЯ ЮЖНЫХ ГУБЕРНИЙ ДАСТ МОЩНЫЙ ТОЛЧОК ПОДЪЁМУ СЕЛЬСКОГО ХОЗЯЙСТВА. "),
        QStringLiteral("Diagnosis (preliminary): stable angina, NYHA class II.\n"),
        QStringLiteral("Рекомендовано: ограничить физическую нагрузку; повторный осмотр — завтра в 9:30. "),
        QStringLiteral("Ответ на a@b.ru [каб. 12] {ref} a|b c\\d ~5 € #3 `x` ^ $40 <ok>. "),
    };
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += sentences[i % sentences.size()];
    text.truncate(length);
    return text;
}
