// Writes the control form's definition, in the component stream format, to the file the
// module's resources include.
#include "com_server/portable/form_definition.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: formdef <output file>\n");
        return 2;
    }
    const auto bytes = vl::WriteComponentStream(vl::BuildFormDefinition());
    if (!bytes) {
        std::fprintf(stderr, "formdef: %s\n", bytes.Error().Text().c_str());
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "formdef: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
