#include "shell/GameTables.h"

#include "common/AnsiCodec.h"

#include <algorithm>
#include <array>

namespace tarn {

namespace {

struct MapRow {
    std::uint8_t key;
    const char* name;
};

// SOCOM 3 / Combined Assault: 215 rows, keys 11 to 247.
constexpr MapRow kS3Maps[] = {
    {11, "SUMMIT SUP. SM."},
    {12, "SUMMIT DEM. SM."},
    {13, "SUMMIT BREACH"},
    {14, "SUMMIT EXTRATION"},
    {15, "SUMMIT CONTROL"},
    {16, "SUMMIT SUPPRESSION"},
    {17, "SUMMIT DEMOLITION"},
    {18, "COPPERHEAD SUP. SM."},
    {19, "COPPERHEAD DEM. SM."},
    {20, "COPPERHEAD SUPPRESSION"},
    {21, "COPPERHEAD DEMOLITION"},
    {22, "COPPERHEAD CONTROL"},
    {23, "COPPERHEAD CONVOY"},
    {24, "COPPERHEAD ESCORT"},
    {25, "SIPHON CONTROL"},
    {26, "SIPHON SUPPRESSION"},
    {27, "SIPHON DENOLITION"},
    {28, "SIPHON EXTRACTION"},
    {29, "SIPHON BREACH"},
    {30, "ANCHORAGE SUPPRESSION"},
    {31, "ANCHORAGE CONTROL"},
    {32, "ANCHORAGE DEMOLITION"},
    {33, "ANCHORAGE EXTRACTION"},
    {34, "ANCHORAGE DEM. SM."},
    {35, "ANCHORAGE SUP. SM."},
    {36, "THRESHOLD SUPPRESSION"},
    {37, "THRESHOLD CONTROL"},
    {38, "THRESHOLD CONVOY"},
    {39, "THRESHOLD DEMOLITION"},
    {40, "THRESHOLD EXTRACTION"},
    {41, "THRESHOLD DEM. SM."},
    {42, "THRESHOLD EXT. SM"},
    {43, "THRESHOLD SUP. SM."},
    {44, "THRESHOLD ESCORT"},
    {45, "RETALIATION SUPPRESSION"},
    {46, "RETALIATION CONVOY"},
    {47, "RETALIATION DEMOLITION"},
    {48, "RETALIATION EXTRACTION"},
    {49, "RETALIATION DEM. SM."},
    {50, "RETALIATION SUP. SM."},
    {51, "RETALIATION CONTROL"},
    {52, "RETALIATION ESCROT"},
    {53, "BOOTCAMP SUPPRESSION"},
    {54, "BOOTCAMP CONTROL"},
    {55, "BOOTCAMP CONVOY"},
    {56, "BOOTCAMP DEMOLITION"},
    {57, "BOOTCAMP EXTRACTION"},
    {58, "BOOTCAMP ESCROT"},
    {59, "BOOTCAMP BREACH"},
    {60, "PROWLER SUPPRESSION"},
    {61, "PROWLER CONTROL"},
    {62, "PROWLER CONVOY"},
    {63, "PROWLER DEMOLITION"},
    {64, "ECHELON SUPPRESSION"},
    {65, "ECHELON DEMOLITION"},
    {66, "ECHELON CONTROL"},
    {67, "ECHELON EXTRACTION"},
    {68, "ECHELON BREACH"},
    {69, "ECHELON SUP. SM."},
    {70, "AFTERSHOCK SUPPRESSION"},
    {71, "AFTERSHOCK DEMOLITION"},
    {72, "AFTERSHOCK CONTROL"},
    {73, "AFTERSHOCK EXTRACTION"},
    {74, "WINTERBLADE"},
    {75, "REPRISAL"},
    {76, "WHIPSAW"},
    {77, "BROKEN CHAINS"},
    {78, "STOCKPILE"},
    {79, "HIGHWIRE"},
    {80, "DISRUPTION"},
    {81, "BOMBSHELL"},
    {82, "SEA WASP"},
    {83, "BLINDSIDE"},
    {84, "DRAGONFLY"},
    {85, "STORMCLOUD"},
    {86, "CHOKEHOLD"},
    {87, "TRAILBLAZER"},
    {88, "SNAKE PIT"},
    {89, "FROSTBITE"},
    {90, "SHEPHERD"},
    {91, "KINGFISHER"},
    {92, " WINTERBLADE"},
    {93, " WINTERBLADE VILLAGE"},
    {94, " REPROSAL"},
    {95, " WHIPSAW BOAT LAUNCH"},
    {96, " WHIPSAW SAWMILL"},
    {97, " BROKEN CHAINS GULAG"},
    {98, " STOCKPILE DOCKS"},
    {99, " STOCKPILE BUNKER"},
    {100, "HARVESTER SUPPRESSION"},
    {101, "HARVESTER EXTRACTION"},
    {102, "HARVESTER ESCORT"},
    {103, "HARVESTER DEMOLITION"},
    {104, "HARVESTER BREACH"},
    {105, "HARVESTER CONVOY"},
    {106, "HARVESTER CONTROL"},
    {107, "HARVESTER SMALL"},
    {108, "CRUCIBLE CONTROL"},
    {109, "CRUCIBLE CONVOY"},
    {110, "CRUCIBLE DEMOLITION"},
    {111, "CRUCIBLE ESCORT"},
    {112, "TIDAL FURY SMALL"},
    {113, "CRUCIBLE SMALL"},
    {114, "CRUCIBLE SUPPRESSION"},
    {115, "KILLING FIELDS CONTROL"},
    {116, "KILLING FIELDS CONVOY"},
    {117, "KILLING FIELDS DEMOLITION"},
    {118, "KILLING FIELDS SMALL"},
    {119, "KILLING FIELDS SUPPRESSION"},
    {120, "CITADEL BREACH"},
    {121, "CITADEL CONTROL"},
    {122, "CITADEL DEMOLITION"},
    {123, "CITADEL ESCROT"},
    {124, "CITADEL EXTRACTION"},
    {125, "CITADEL SMALL"},
    {126, "CITADEL SUPPRESSION"},
    {128, "DEVIL'S ROAD CONVOY"},
    {129, "DELIL'S ROAD CONTROL"},
    {130, "DEVIL'S ROAD RXTRACTION"},
    {131, "DEVIL'S ROAD SMALL"},
    {132, "DEVIL'S ROAD SUPPRESSION"},
    {133, "BONEYARD BREACH"},
    {134, "BONEYARD EXTRACTION"},
    {135, "BONEYARD SMALL"},
    {136, "BONEYARD SUPPRESSION"},
    {137, "TIDAL FURY BREACH"},
    {138, "TIDAL FURY CONTROL"},
    {139, "TIDAL FURY DEMOLITION"},
    {140, "TIDAL FURY EXTRACTION"},
    {141, "TIDAL FURY SUPPRESSION"},
    {142, "ANTENDRA BREACH"},
    {143, "ANTENDRA CONTROL"},
    {144, "STORM FRONT EXTRACTION"},
    {145, "ANTENDRA EXTRACTION"},
    {146, "ANTENDRA SMALL"},
    {147, "ANTENDRA SUPPRESSION"},
    {148, "STORM FRONT CONTROL"},
    {149, "STORM FRONT DEMOLITION"},
    {150, "STORM FRONT SUPPRESSION"},
    {151, "WATERWORKS BREACH"},
    {152, "WATERWORKS CONTROL"},
    {153, "WATERWORKS DEMOLITION"},
    {154, "KILLING FIELDS ESCORT"},
    {156, "WATERWORKS SMALL"},
    {157, "WATERWORKS SUPPRESSION"},
    {158, "FAULT BREACH"},
    {159, "FAULT CONTROL"},
    {160, "FAULT DEMOLITION"},
    {161, "FAULT SMALL"},
    {162, "FAULT SUPPRESSION"},
    {163, "BLACKWOODS CONTROL"},
    {164, "BLACKWOODS DEMOLITION"},
    {165, "BLACKWOODS EXTRACTION"},
    {166, "BLACKWOODS SMALL"},
    {167, "BLACKWOODS SUPPRESSION"},
    {168, "WATERWORKS ESCORT"},
    {169, "AFTERHOURS SUP. SM."},
    {170, "AFTERHOURS DEM. SM."},
    {171, "AFTERHOURS CTR. SM."},
    {172, "LAST BASTION BRE. SM."},
    {173, "LAST BASTION CTR. SM."},
    {174, "LAST BASTION EXT. SM."},
    {175, "LAST BASTION SUP. SM."},
    {177, "LIBERATION DEM. SM."},
    {178, "LIBERATION CTR. SM."},
    {179, "LIBERATION ESC. SM."},
    {180, "LIBERATION SUP. SM."},
    {182, "DESERT GLORY DEM. SM."},
    {183, "DESERT GLORY CTR. SM."},
    {184, "DESERT GLORY EXT. SM."},
    {185, "DESERT GLORY SUP. SM."},
    {187, "ABANDONED SUP. SM."},
    {188, "ABANDONED DEM. SM."},
    {189, "ABANDONED CTR. SM."},
    {190, "BLIZZARD EXT. SM."},
    {191, "BLIZZARD SUP. SM."},
    {192, "BLIZZARD DEM. SM."},
    {194, "BLIZZARD CTR. SM."},
    {200, "BLOOD LAKE SUP. SM."},
    {201, "BLOOD LAKE EXT. SM."},
    {202, "CROSSROAD CTR. SM."},
    {203, "CROSSROAD DEM. SM."},
    {208, "GUIDANCE SUP. SM."},
    {210, "GUIDANCE CTR. SM."},
    {212, "GUIDANCE DEM. SM."},
    {213, "CROSSROAD SUP .SM."},
    {214, "FISHHOOK SUP. SM."},
    {215, "FISHHOOK BRE. SM."},
    {216, "FISHHOOK CTR. SM."},
    {220, "ABANDONED EXT. SM."},
    {221, "BLOOD LAKE DEM. SM."},
    {222, "BLOOD LAKE CTR. SM."},
    {223, "FROSTFIRE SUP. SM."},
    {224, "FROSTFIRE CTR. SM."},
    {225, "FROSTFIRE DEM. SM."},
    {227, "FISHHOOK EXT. SM."},
    {229, "BLOOD LAKE ESC. SM."},
    {230, "HIGHWIRE VILLAGE"},
    {231, "DISRUPTION TRAINING CAMPAIGN"},
    {232, "BOMBSHELL WHARF"},
    {233, "BOMBSHELL URANIUM FACILITY"},
    {234, "SEA WASP FREIGHTER"},
    {235, "BLINDSIDE PLATEAU"},
    {236, "BLINDSIDE TEMPLE"},
    {237, "DRAGONFLY HELICOPTER BASE"},
    {238, "STORMCLOUD EAST VALLEY"},
    {239, "CHOKEHOLD  BRICKWORKS"},
    {240, "CHOKEHOLD STADIUM"},
    {241, "TRAILBLAZER CITY STREETS"},
    {242, "SNAKE PIT HEADQUARTERS"},
    {243, "FROSTBITE REFINERY"},
    {244, "SHEOHERD RUINS"},
    {245, "SHEPHERD BRIDGE"},
    {246, "SHEPHERD STEOOES"},
    {247, "KINGFISHER BUNKER"},
};

// SOCOM II: 45 rows, keys 1 to 183.
constexpr MapRow kS2Maps[] = {
    {1, "Blizzard"},
    {2, "FrostFire"},
    {5, "Abandoned"},
    {6, "Desert Glory"},
    {7, "Night Stalker"},
    {8, "Rats Nest"},
    {9, "Bitter Jungle"},
    {10, "Blood Lake"},
    {11, "Death Trap"},
    {12, "The Ruins"},
    {21, "Abandon Day"},
    {23, "Fishhook Night"},
    {24, "Crossroads Night"},
    {25, "The Mixer Night"},
    {26, "Blizzard Day"},
    {27, "FrostFire Day"},
    {28, "Desert Glorty"},
    {29, "Night Stalke Day"},
    {30, "Rats Nest Day"},
    {31, "Bitter Jungle Night"},
    {32, "Blood Lake Night"},
    {33, "Death Trap Night"},
    {34, "TheRuins Night"},
    {51, "Vigilance"},
    {52, "The Mixer"},
    {53, "Foxhunt"},
    {54, "Last Bastion"},
    {61, "Sujo"},
    {62, "Enowapi"},
    {63, "After Hours"},
    {64, "Shadow Falls"},
    {71, "Fish Hook"},
    {72, "Crossroads"},
    {73, "Sandstorm"},
    {74, "Liberation"},
    {80, "Shadow Falls Day"},
    {81, "Chain Reaction"},
    {82, "Guidance"},
    {83, "Requiem"},
    {89, "Sandstorm Day"},
    {151, "Seeding Chaos"},
    {153, "Upland Assault"},
    {181, "Lockdown"},
    {182, "Guided Tour"},
    {183, "Doomsday Delivery"},
};

static_assert(std::size(kS3Maps) == 215);
static_assert(std::size(kS2Maps) == 45);

using MapIndex = std::array<const char*, 256>;

// A byte-indexed copy of a table, so a look-up is one array access.
template <std::size_t N> constexpr MapIndex IndexOf(const MapRow (&rows)[N]) {
    MapIndex index{};
    for (const MapRow& row : rows)
        index[row.key] = row.name;
    return index;
}

constexpr MapIndex kS3Index = IndexOf(kS3Maps);
constexpr MapIndex kS2Index = IndexOf(kS2Maps);

QString Lookup(const MapIndex& index, std::uint8_t key) {
    const char* name = index[key];
    return QString::fromLatin1(name ? name : "Unlisted");
}

// The longest name a packet can carry; a 0 byte must come within one more.
constexpr std::size_t kMaxPacketName = 32;

} // namespace

QString GetS3MapName(std::uint8_t map) {
    return Lookup(kS3Index, map);
}

QString GetS2MapName(std::uint8_t map) {
    return Lookup(kS2Index, map);
}

QString GetRoomNumberText(std::uint8_t room) {
    if (room >= 1 && room <= 31)
        return QString::number(room);
    return QStringLiteral("00");
}

QString GetPacketName(std::span<const std::uint8_t> bytes, const QString& previous) {
    const std::size_t limit = std::min(bytes.size(), kMaxPacketName + 1);
    for (std::size_t i = 0; i < limit; ++i) {
        if (bytes[i] == 0)
            return StringFromAnsi(reinterpret_cast<const char*>(bytes.data()), i);
    }
    return previous;
}

QStringList MapLines(const QString& gameName, std::span<const std::uint8_t> mapRun) {
    const bool s3 =
        gameName.contains(QLatin1String("CA:")) || gameName.contains(QLatin1String("S3:"));
    QStringList lines;
    for (std::uint8_t map : mapRun) {
        if (map == 0)
            break;
        lines.append(s3 ? GetS3MapName(map) : GetS2MapName(map));
    }
    return lines;
}

} // namespace tarn
