#include "support/resources.h"

#include <QString>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
// The tool help functions need the types of windows.h before them.
#include <tlhelp32.h>
#else
#include <QDir>
#endif

using namespace Qt::StringLiterals;

namespace support {

#ifdef Q_OS_WIN

int threadCount()
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

int openFileCount()
{
    DWORD handles = 0;
    return ::GetProcessHandleCount(::GetCurrentProcess(), &handles) ? int(handles) : -1;
}

#else

int threadCount()
{
    return int(QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

int openFileCount()
{
    return int(QDir(u"/proc/self/fd"_s)
                   .entryList(QDir::System | QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

#endif

} // namespace support
