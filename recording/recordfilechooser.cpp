#include "recordfilechooser.h"

#include "recordfile.h"
#include "userdialogs.h"

#include <QDir>
#include <QFileInfo>

const QString RecordFileChooser::Filter = QStringLiteral("Texte (*.txt);;Tous les fichiers (*.*)");

RecordFileChooser::RecordFileChooser(const QString &startFolder)
    : m_folder(startFolder.isEmpty() ? QDir::currentPath() : startFolder)
{ }

bool RecordFileChooser::NouvFichier(RecordFile &file)
{
    UserDialogs &dialogs = UserDialogs::instance();
    for (;;) {
        const QString name = dialogs.saveFileName(
            { QStringLiteral("Enregistrer sous"), m_folder, Filter, QString() });
        if (name.isEmpty())
            return false;
        m_folder = QFileInfo(name).absolutePath();
        const QString path = withExtension(name);
        if (fileExists(path)) {
            const UserDialogs::Button answer = dialogs.message(
                UserDialogs::Icon::Warning, QStringLiteral("Avertissement"),
                path + QStringLiteral("\nexiste déjà.\nVoulez-vous le remplacer?"),
                { UserDialogs::Button::Yes, UserDialogs::Button::No });
            if (answer != UserDialogs::Button::Yes)
                continue;
        }
        chosen(file, path, true);
        return true;
    }
}

bool RecordFileChooser::OuvrirFichier(RecordFile &file)
{
    const QString name = UserDialogs::instance().openFileName(
        { QStringLiteral("Ouvrir"), m_folder, Filter, QString() });
    if (name.isEmpty())
        return false;
    m_folder = QFileInfo(name).absolutePath();
    const QString path = withExtension(name);
    if (!fileExists(path))
        return false;
    chosen(file, path, false);
    return true;
}

QString RecordFileChooser::windowCaption(const QString &banner, const QString &path)
{
    return banner + QStringLiteral(" - Fichier : ") + path;
}

QString RecordFileChooser::withExtension(const QString &path)
{
    // "vol1." and ".hidden" count as having one, as "vol1.csv" does.
    if (QFileInfo(path).fileName().contains(QLatin1Char('.')))
        return path;
    return path + QStringLiteral(".txt");
}

bool RecordFileChooser::fileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void RecordFileChooser::chosen(RecordFile &file, const QString &path, bool create)
{
    file.RecordPath = path;
    file.BackupPath = m_folder + QLatin1Char('/') + RecordFile::BackupFileName;
    file.CreateOnStart = create;
}
