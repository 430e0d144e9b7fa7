// The journal browser's first opening in a process of its own: the device
// root laid out by bench_journal (its first argument), nothing of the
// program warmed up. Writes the seconds to the first drawn list and the rows
// it holds to the file of the second argument; bench_journal runs it once
// per iteration, after dropping the journal from the page cache.
#include <fstream>

#include "bench/journal/BrowserOpening.h"
#include "platform/WinKernel.h"

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    qplat::SetDeviceRoot(argv[1]);
    qplat::SyncFileWrites(false);
    if (!qplat::StartPresenter(qplat::PresenterKind::Headless)) return 3;
    HWND owner = qbench::MakeBrowserOwner();
    const qbench::BrowserOpening opening = qbench::OpenBrowser(owner);
    DestroyWindow(owner);
    qplat::StopPresenter();
    std::ofstream(argv[2]) << opening.seconds << ' ' << opening.rows << '\n';
    return 0;
}
