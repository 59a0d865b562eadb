#include "DiscardQuestion.h"

#include "TransientDialog.h"

#include <QMessageBox>

bool DiscardQuestion::ask(const QString& title)
{
    QMessageBox box(QMessageBox::Question, title,
                    QStringLiteral("Вы уверены что хотите закрыть окно? Не сохранённые изменения будут утеряны."),
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    return TransientDialog::exec(box) == QMessageBox::Ok;
}
