#pragma once

#include <QString>

class RecordFile;

// The two file commands, "&Nouveau" and "&Ouvrir": they ask for a file through UserDialogs and,
// when one is chosen, set the record file's paths and mode. The main window then shows the path
// in its caption and enables "&Démarrer".
// Every dialog opens in the folder where the last file was chosen (the process's working
// directory until then); the backup copy goes to that folder.
class RecordFileChooser
{
public:
    explicit RecordFileChooser(const QString &startFolder = QString()); // empty: working directory

    // "&Nouveau": a name to create; ".txt" added when it has no extension; an existing file
    // needs the operator's "&Oui" (on "&Non" the dialog comes back). Nothing is written to disk:
    // the next start creates the file. Returns false (and changes nothing) when cancelled.
    bool NouvFichier(RecordFile &file);
    // "&Ouvrir": an existing file to append to (".txt" added when the name has no extension).
    // Returns false (and changes nothing) when cancelled or when no such file exists.
    bool OuvrirFichier(RecordFile &file);

    // The folder the next dialog opens in.
    QString folder() const { return m_folder; }

    // Caption of the main window for a record file: banner + " - Fichier : " + path.
    static QString windowCaption(const QString &banner, const QString &path);

    static const QString Filter;

private:
    // The path with ".txt" added when its file name has no extension.
    static QString withExtension(const QString &path);
    static bool fileExists(const QString &path);
    void chosen(RecordFile &file, const QString &path, bool create);

    QString m_folder;
};
