// kernel_behaviour_check <words> (native): whether the stand-in kernel understands <words> as
// its VL_KERNEL_BEHAVIOUR. A kernel that does not ends at once, where nobody sees why, so
// tools/page.sh asks here before a page runs. Exit code 0, or 2 with a line that says why.
#include <cstdio>
#include <string>

#include "kernel_behaviour.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: kernel_behaviour_check <words>\n", stderr);
        return 2;
    }
    const std::string words = argv[1];
    if (vl::ParseKernelBehaviour(std::wstring(words.begin(), words.end()))) return 0;
    std::fprintf(stderr,
                 "the stand-in kernel does not understand the behaviour \"%s\" (its words: tools/README.md, "
                 "\"Test behaviours\")\n",
                 words.c_str());
    return 2;
}
