#include "recordioerror.h"

#include <cerrno>

RecordIoError::RecordIoError(int code)
    : RecordIoError(code, messageFor(code))
{ }

RecordIoError::RecordIoError(int code, const QString &message)
    : ZephulError(message)
    , m_code(code)
{ }

RecordIoError RecordIoError::fromErrno(int error, bool creating)
{
    switch (error) {
    case ENOENT:
        return RecordIoError(creating ? PathNotFound : FileNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return RecordIoError(PathNotFound);
    case EMFILE:
    case ENFILE:
        return RecordIoError(TooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
        return RecordIoError(AccessDenied);
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return RecordIoError(DiskFull);
    default:
        return RecordIoError(error, QStringLiteral("Erreur E/S %1").arg(error));
    }
}

QString RecordIoError::messageFor(int code)
{
    switch (code) {
    case FileNotFound:
        return QStringLiteral("Fichier introuvable");
    case PathNotFound:
        return QStringLiteral("Nom de fichier incorrect");
    case TooManyOpenFiles:
        return QStringLiteral("Trop de fichiers ouverts");
    case AccessDenied:
        return QStringLiteral("Accès au fichier refusé");
    case DiskFull:
        return QStringLiteral("Disque plein");
    default:
        return QStringLiteral("Erreur E/S %1").arg(code);
    }
}
