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

QString TypingText::wide(int length)
{
    static const QStringList sentences{
        QStringLiteral("Доза α-блокатора: 2 × 5 мг, t° ≤ 37,5 °C; ± 10 % — «норма». "),
        QStringLiteral("Рост ½ σ выше; β, γ, δ, ε, ζ, η, θ, ι, κ, λ, μ, ν, ξ, ο, π, ρ, τ, υ, φ, χ, ψ, ω. "),
        QStringLiteral("ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ § 3 → 4 ≥ 2² ÷ ³ “цитата” „ещё“ ‘так’ • … ™ © ® ‰ µ. "),
        QStringLiteral("Знаки: ≠ ≈ ∞ √ ∑ ∆ ℃ ‹ › ά έ ή ί ό ύ ώ ϊ ϋ ΐ ΰ. "),
    };
    const QString mixedPart = mixed(length);
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += mixedPart.mid(i * 300, 300) + sentences[i % sentences.size()];
    text.truncate(length);
    return text;
}

