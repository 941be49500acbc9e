#pragma once

#include "zephulerror.h"

// A failed operation on the record file or its backup copy. The code follows the classic
// input/output result numbers the operators know from earlier ground stations: 2 file not found,
// 3 bad file name or missing folder, 4 too many open files, 5 access denied, 101 disk full;
// anything else carries the system's error number and reads "Erreur E/S <number>".
class RecordIoError : public ZephulError
{
public:
    static constexpr int FileNotFound = 2;
    static constexpr int PathNotFound = 3;
    static constexpr int TooManyOpenFiles = 4;
    static constexpr int AccessDenied = 5;
    static constexpr int DiskFull = 101;

    // One of the named codes above, with its text.
    explicit RecordIoError(int code);

    // The error for a failed system call. `creating` tells whether the call was allowed to create
    // the file: then a missing entry can only be a missing folder.
    static RecordIoError fromErrno(int error, bool creating);
    // The operator's text for one of the named codes; "Erreur E/S <code>" for any other.
    static QString messageFor(int code);

    // The named code, or the system's error number for any other failure (EIO is 5 but reads
    // "Erreur E/S 5", not the access-denied text).
    int code() const { return m_code; }

private:
    RecordIoError(int code, const QString &message);

    int m_code;
};
