// bench_state reset|install: the machine state around a benchmark, put in place as the
// tests do it.
//   reset    no kernel running, no product registry key, an empty home folder
//   install  reset, then the maker-signed stand-in kernel in the home folder, where the
//            control looks for it
// Exit code 0 on success, 1 when the state could not be reached, 2 for a bad command line.
#include <cstdio>
#include <cstring>

#include "fixtures/product_state.h"

int main(int argc, char** argv)
{
    const bool install = argc == 2 && std::strcmp(argv[1], "install") == 0;
    if (argc != 2 || (!install && std::strcmp(argv[1], "reset") != 0)) {
        std::fprintf(stderr, "usage: bench_state reset|install\n");
        return 2;
    }
    vl::test::ResetProductState();
    if (!vl::test::EndRunningKernels()) {
        std::fprintf(stderr, "bench_state: a kernel is still running\n");
        return 1;
    }
    if (install && !vl::test::InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe")) {
        std::fprintf(stderr, "bench_state: the signed kernel could not be installed\n");
        return 1;
    }
    return 0;
}
