#include "qtuserdialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QFileDialog *makeFileDialog(const UserDialogs::FileRequest &request)
{
    auto *dialog = new QFileDialog(QApplication::activeWindow(), request.title, request.directory,
                                   request.filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!request.defaultSuffix.isEmpty())
        dialog->setDefaultSuffix(request.defaultSuffix);
    return dialog;
}

QString runFileDialog(QFileDialog *dialog)
{
    QString chosen;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = dialog->selectedFiles().first();
    delete dialog;
    return chosen;
}

} // namespace

QString QtUserDialogs::saveFileName(const FileRequest &request)
{
    QFileDialog *dialog = makeFileDialog(request);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // The program asks its own question before replacing a file.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    return runFileDialog(dialog);
}

QString QtUserDialogs::openFileName(const FileRequest &request)
{
    QFileDialog *dialog = makeFileDialog(request);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Any name is taken as typed: the program adds ".txt" to a name without extension and only
    // then looks whether the file is there (typing vol1 opens vol1.txt).
    dialog->setFileMode(QFileDialog::AnyFile);
    return runFileDialog(dialog);
}

std::optional<QColor> QtUserDialogs::chooseColour(const QColor &initial)
{
    const QColor colour = QColorDialog::getColor(initial, QApplication::activeWindow());
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

UserDialogs::Button QtUserDialogs::message(Icon icon, const QString &title, const QString &text,
                                           const QList<Button> &buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QList<QPair<QAbstractButton *, Button>> added;
    for (const Button b : buttons) {
        QAbstractButton *button = nullptr;
        switch (b) {
        case Button::Ok:
            button = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
        case Button::Yes:
            button = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
            break;
        case Button::No:
            button = box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
            break;
        case Button::Cancel:
            button = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
            break;
        }
        added.append({ button, b });
    }
    if (!added.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton *>(added.first().first));
    box.exec();
    for (const auto &[button, b] : added)
        if (box.clickedButton() == button)
            return b;
    return Button::Cancel;
}

void QtUserDialogs::showError(const QString &text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}
