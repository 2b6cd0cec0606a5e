// What a Windows station finds of Firebird's client, asked in a process of its own (a loaded
// client stays loaded): tst_firebirdclient copies this program into folders laid out as PCs
// are. It writes three lines into the file given:
//   missing: what the engine tells the judge (empty when the client loaded)
//   client: the file of the fbclient.dll loaded (empty for none)
//   driver: whether Qt's InterBase driver loads, which imports fbclient.dll
#include "db/dbengine.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QTextStream>

#include <windows.h>

using namespace Qt::StringLiterals;

namespace {

QString loadedClient()
{
    HMODULE client = ::GetModuleHandleW(L"fbclient.dll");
    wchar_t path[MAX_PATH];
    const DWORD length = client ? ::GetModuleFileNameW(client, path, MAX_PATH) : 0;
    return QString::fromWCharArray(path, int(length));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString missing =
        Database::missingHere({aliases::Driver::InterBase, u"localhost:C:\\Jump.GDB"_s, {}, {}});
    const bool driver = QSqlDatabase::addDatabase(u"QIBASE"_s, u"probe"_s).isValid();
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return 3;
    QTextStream(&out) << "missing: " << missing << "\nclient: " << loadedClient()
                      << "\ndriver: " << (driver ? "loads" : "does not load") << '\n';
    out.close();
    // As the terminal leaves: MinGW's thread library may hang in the unloading (README).
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return 0;
}
