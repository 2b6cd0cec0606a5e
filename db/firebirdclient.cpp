#include "db/firebirdclient.h"

#include <QMetaType>
#include <QString>

#include <cstdint>

#ifdef Q_OS_WIN
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace Qt::StringLiterals;

namespace firebird {

namespace {

// The client's C interface, as its ibase.h declares it on 64-bit systems: a status vector of
// pointer-sized words, attachments as 32-bit handles.
using Status = std::intptr_t;
using CancelOperation = Status (*)(Status *, quint32 *, unsigned short);
constexpr unsigned short cancelRaise = 3; // fb_cancel_raise

// The call from the client library the InterBase driver has loaded; none when it is not loaded.
CancelOperation cancelOperation()
{
#ifdef Q_OS_WIN
    HMODULE client = ::GetModuleHandleW(L"fbclient.dll");
    // Through the generic function pointer type, which any function pointer converts from.
    const auto found = reinterpret_cast<void (*)()>(
        client ? ::GetProcAddress(client, "fb_cancel_operation") : nullptr);
#else
    void *client = ::dlopen("libfbclient.so.2", RTLD_NOW | RTLD_NOLOAD);
    void *found = client ? ::dlsym(client, "fb_cancel_operation") : nullptr;
    if (client)
        ::dlclose(client); // the driver keeps it loaded
#endif
    return reinterpret_cast<CancelOperation>(found);
}

#ifdef Q_OS_WIN
// The folder of the program's own file.
QString programFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return QString();
    return QFileInfo(QString::fromWCharArray(path, int(length))).absolutePath();
}

// Where Firebird's installer puts the client: the root it records, and Windows' system folder,
// where it may copy the client for other programs.
QStringList installationFolders()
{
    QStringList folders;
    const QSettings instances(
        u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project\\Firebird Server\\Instances"_s,
        QSettings::NativeFormat);
    const QString root = instances.value(u"DefaultInstance"_s).toString();
    if (!root.isEmpty())
        folders << root;
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        folders << QString::fromWCharArray(system, int(length));
    return folders;
}

// Loads fbclient.dll from the first of the folders that has one that loads, and keeps it
// loaded: the InterBase driver, which imports fbclient.dll, then takes the module already
// there. The error of the copies that did not load otherwise, ERROR_MOD_NOT_FOUND for none.
DWORD loadClient(const QStringList &folders)
{
    DWORD error = ERROR_MOD_NOT_FOUND;
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString path =
            QDir::toNativeSeparators(QDir(folder).absoluteFilePath(u"fbclient.dll"_s));
        if (!QFileInfo::exists(path))
            continue;
        // The libraries it loads in turn (an installation's runtime) come from its own folder.
        if (::LoadLibraryExW(reinterpret_cast<const wchar_t *>(path.utf16()), nullptr,
                             LOAD_WITH_ALTERED_SEARCH_PATH))
            return ERROR_SUCCESS;
        if (error != ERROR_BAD_EXE_FORMAT)
            error = ::GetLastError();
    }
    return error;
}
#endif

} // namespace

quint32 attachment(const QVariant &driverHandle)
{
    // The driver hands out isc_db_handle, an unsigned int on 64-bit systems.
    if (driverHandle.metaType() != QMetaType::fromType<unsigned int>())
        return 0;
    return *static_cast<const unsigned int *>(driverHandle.constData());
}

bool cancel(quint32 attachment)
{
    static const CancelOperation call = cancelOperation();
    if (!call || attachment == 0)
        return false;
    Status status[20] = {};
    call(status, &attachment, cancelRaise);
    return true;
}

QString missingClient()
{
#ifdef Q_OS_WIN
    // Kept once loaded: the driver is about to load it anyway, and a client unloaded again
    // would start afresh at every connection. The installer's copy beside the program comes
    // first, then the PC's own Firebird installation.
    if (::GetModuleHandleW(L"fbclient.dll"))
        return QString();
    const DWORD error = loadClient(QStringList{programFolder()} + installationFolders());
    if (error == ERROR_SUCCESS)
        return QString();
    if (error == ERROR_BAD_EXE_FORMAT)
        return u"Firebird's client (fbclient.dll) on this PC is not the one for 64-bit Windows: "
               "install Firebird's client for 64-bit Windows"_s;
    return u"Firebird's client (fbclient.dll) is not installed on this PC: install Firebird's "
           "client for 64-bit Windows"_s;
#else
    return QString();      // the package depends on Debian's client library
#endif
}

} // namespace firebird
