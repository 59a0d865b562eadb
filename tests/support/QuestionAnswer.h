#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

// Answers the next modal question box once it is up: with one of its buttons,
// or with Esc for QMessageBox::Escape. For tests that link Qt Widgets.
inline void answerQuestion(QMessageBox::StandardButton answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->deleteLater();
        if (answer == QMessageBox::Escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(answer)->click();
    });
    timer->start(10);
}
