// LoadItemTable over mutated database files: the load fails cleanly or
// succeeds, and what it gives can be computed and written.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "pillar/LightPillar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        "/tmp/varo-fuzz-item-table-" + std::to_string(::getpid()) + ".DB";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::remove((path + "-journal").c_str());

    varo::SqliteConnection connection;
    const varo::ItemTable table = varo::LoadItemTable(connection, path);
    if (table.ok) {
        varo::FormatLightPillarFile(varo::ComputeLightPillarRows(table.matrix, {}));
        varo::EncodeFilterFile(varo::LoadFilterRows(table.matrix, table.rows),
                               varo::FilterFileForm::Mobile);
    }
    connection.Close();
    return 0;
}
