// Appends one data line to a record file and its backup copy, as a reception does for each
// accepted frame, so that a test can watch the system calls it makes (under strace).
//   appendrecordline RECORD BACKUP LINE
#include "recordfile.h"

#include <QString>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s RECORD BACKUP LINE\n", argv[0]);
        return 2;
    }
    RecordFile file;
    file.RecordPath = QString::fromLocal8Bit(argv[1]);
    file.BackupPath = QString::fromLocal8Bit(argv[2]);
    try {
        file.AppendRecordLine(QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
