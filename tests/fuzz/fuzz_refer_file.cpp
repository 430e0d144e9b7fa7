// Any bytes as a reference-profile file: the point parser, the listing and
// loading through the store, and a save of what was loaded, which must read
// back as the same points whenever the store accepts it.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "measurement/ReferStore.h"
#include "tests/fuzz/FuzzProgramRoot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("refer", "Refer");
    static auto points = std::make_unique<ProfilePoint[]>(kMaxProfilePoints);
    static auto loaded = std::make_unique<ProfilePoint[]>(kMaxProfilePoints);
    static auto store = std::make_unique<CReferStore>();
    DWORD count = 0;
    ParseReferPoints(data, size, points.get(), &count);
    Check(count <= kMaxProfilePoints);

    root.Put("input.ref", std::string(reinterpret_cast<const char*>(data), size));
    store->List(1);
    Check(store->m_count == 1);
    const ReferEntry& row = store->m_entries[0];
    Check(std::char_traits<char16_t>::length(row.profileName) < static_cast<size_t>(kReferNameChars));
    Check(std::u16string(row.fileName) == u"input.ref");

    // Loading by the name the list shows takes this file when the name is
    // short enough to be compared whole, and parses it as the parser does.
    DWORD loadedCount = 0xFFFFFFFFu;
    Check(store->Load(row.profileName, loaded.get(), &loadedCount, 1) == 1);
    if (std::char_traits<char16_t>::length(row.profileName) < static_cast<size_t>(kReferLoadNameChars)) {
        Check(loadedCount == count);
        Check(SameBytes(loaded.get(), points.get(), count * sizeof(ProfilePoint)));
    }

    // What a save accepts loads back unchanged, up to the (0, 0) that ends it.
    std::filesystem::remove(root.folder / "input.ref");
    DWORD kept = 0;
    while (kept < count && !(points[kept].x == 0 && points[kept].z == 0))
        ++kept;
    if (store->Write(u"Saved", points.get(), count, 1) == 1) {
        for (DWORD i = 1; i < kept; ++i)
            Check(points[i].x > points[i - 1].x);
        Check(store->Load(u"Saved", loaded.get(), &loadedCount, 1) == 1);
        Check(loadedCount == kept);
        Check(SameBytes(loaded.get(), points.get(), kept * sizeof(ProfilePoint)));
        std::filesystem::remove(root.folder / "Saved.ref");
    }
    return 0;
}
