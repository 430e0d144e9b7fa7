// The Bluetooth stand-in: the neighbourhood description, inquiry, name query,
// PINs and signal strength.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/sensor/SensorTestSupport.h"
#include "tests/support/Fields.h"
#include "tests/support/Inquiry.h"
#include "tests/support/PipeGuard.h"

using namespace sensortest;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class BluetoothStackTest : public SensorTest {
protected:
    // Runs an inquiry as the search screen does; names in found order.
    static std::vector<std::pair<BT_ADDR, std::u16string>> Inquiry(int* beginResult = nullptr)
    {
        return qtest::RunInquiry(beginResult);
    }
};

TEST_F(BluetoothStackTest, DescriptionRoundTripsAndSkipsDamage)
{
    qplat::Neighbourhood hood;
    hood.radioOn = false;
    hood.devices.push_back(Device(0x0012F3A40B7CULL, "QUN 54321", false, -77));
    hood.devices[0].nameQueryTimesOut = true;
    hood.devices[0].owner = 4711;
    qplat::Neighbourhood back;
    ASSERT_TRUE(qplat::ParseNeighbourhood(qplat::FormatNeighbourhood(hood), back));
    EXPECT_FALSE(back.radioOn);
    ASSERT_EQ(1u, back.devices.size());
    const qplat::Neighbour& d = back.devices[0];
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(d.address, 0x0012F3A40B7CULL), FIELD_IS(d.name, "QUN 54321"),
                                 FIELD_IS(d.rssi, -77), FIELD_IS(d.inRange, false), FIELD_IS(d.nameQueryTimesOut, true),
                                 FIELD_IS(d.owner, 4711)));

    const char* damaged = "radio = on\n[device]\naddress = 12:34\nname = bad\n[device]\naddress = 0012F3A40B7D\n"
                          "name = good\nrssi = 999\nnonsense line\n";
    EXPECT_FALSE(qplat::ParseNeighbourhood(damaged, back));
    ASSERT_EQ(1u, back.devices.size()) << "the block without a valid address is left out";
    EXPECT_EQ("good", back.devices[0].name);
    EXPECT_EQ(-50, back.devices[0].rssi) << "an impossible RSSI keeps the default";

    BT_ADDR a = 0;
    EXPECT_TRUE(qplat::ParseBtAddress("00:12:f3:A4:0b:7c", a));
    EXPECT_EQ(0x0012F3A40B7CULL, a);
    EXPECT_FALSE(qplat::ParseBtAddress("0012F3A40B7", a));
    EXPECT_FALSE(qplat::ParseBtAddress("0012F3A40B7C0", a));
    EXPECT_EQ("00:12:f3:a4:0b:7c", qplat::FormatBtAddress(0x0012F3A40B7CULL));
}

TEST_F(BluetoothStackTest, InquiryFindsOnlyDevicesInRange)
{
    ASSERT_TRUE(qplat::AddNeighbour(Device(0x000000000001ULL, "QUN 11111")));
    ASSERT_TRUE(qplat::AddNeighbour(Device(0x0012F3A40B7CULL, "LX412 22222")));
    ASSERT_TRUE(qplat::AddNeighbour(Device(0x0000000000FFULL, "QEM 33333", false)));
    EXPECT_EQ(Inquiry(), (std::vector<std::pair<BT_ADDR, std::u16string>>{{0x000000000001ULL, u"QUN 11111"},
                                                                         {0x0012F3A40B7CULL, u"LX412 22222"}}));

    WCHAR name[256];
    unsigned int required = 0;
    BT_ADDR a = 0x0012F3A40B7CULL;
    ASSERT_EQ(0, BthRemoteNameQuery(&a, 256, &required, name));
    EXPECT_EQ(std::u16string(u"LX412 22222"), std::u16string(name));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, BthRemoteNameQuery(&a, 5, &required, name));
    a = 0x0000000000FFULL;
    EXPECT_EQ(ERROR_TIMEOUT, BthRemoteNameQuery(&a, 256, &required, name)) << "out of range";

    // A buffer too small for the result is reported with the size needed.
    WSAQUERYSET query{};
    query.dwSize = sizeof query;
    query.dwNameSpace = NS_BTH;
    HANDLE lookup = nullptr;
    ASSERT_EQ(0, BthNsLookupServiceBegin(&query, LUP_CONTAINERS, &lookup));
    WSAQUERYSET small{};
    DWORD length = sizeof small;
    EXPECT_EQ(WSAEFAULT, BthNsLookupServiceNext(lookup, LUP_RETURN_NAME | LUP_RETURN_ADDR, &length, &small));
    EXPECT_GT(length, sizeof small);
    EXPECT_EQ(0, BthNsLookupServiceEnd(lookup));
    EXPECT_NE(0, BthNsLookupServiceEnd(lookup));
}

TEST_F(BluetoothStackTest, RadioOffStopsInquiryAndPairing)
{
    ASSERT_TRUE(qplat::SetBluetoothRadio(false));
    int rc = 0;
    EXPECT_TRUE(Inquiry(&rc).empty());
    EXPECT_NE(0, rc);
    unsigned char pin[] = {'1', '2', '3', '4'};
    BT_ADDR a = 1;
    EXPECT_NE(0, BthSetPIN(&a, 4, pin));
    ASSERT_TRUE(qplat::SetBluetoothRadio(true));
    EXPECT_EQ(0, BthSetPIN(&a, 4, pin));
    EXPECT_EQ("1234", qplat::StoredPin(a));
    EXPECT_NE(0, BthSetPIN(&a, 0, pin));
    EXPECT_NE(0, BthSetPIN(&a, 17, pin));
    EXPECT_EQ(0, BthRevokePIN(&a));
    EXPECT_EQ("", qplat::StoredPin(a));
}

// A pipe in the neighbourhood file's place held the search screen's inquiry
// in its open until a writer came. It is passed by as a missing file, named
// once on standard error however often the search looks, and the first
// sensor that joins puts a file in its place. Whatever is put in its place
// later, a folder, a link to nothing, a pipe again after the place was empty
// for a while, is named again, once. Every call that could wait on a pipe
// runs under the guard, so a regression fails instead of hanging the suite.
TEST_F(BluetoothStackTest, APipeInPlaceOfTheNeighbourhoodIsPassedByAsAnEmptyOne)
{
    const std::string path = qplat::NeighbourhoodPath();
    // What a number of searches, run under the guard, say on standard error.
    auto searched = [&](int searches) {
        testing::internal::CaptureStderr();
        bool empty = true;
        const bool returned = qtest::ReturnsWithoutThePipesOtherEnd({path}, [&] {
            for (int i = 0; i < searches; ++i)
                empty = Inquiry().empty() && empty;
        });
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(returned) << "the inquiry waited for the pipe's other end";
        EXPECT_TRUE(empty);
        return said;
    };
    auto namedOnce = [&](const std::string& said, qtest::Stranger stranger) {
        EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
        EXPECT_NE(std::string::npos, said.find(path + ": " + qtest::SaidOf(stranger))) << said;
    };

    ASSERT_TRUE(qtest::PutInPlace(path, qtest::Stranger::Pipe));
    namedOnce(searched(2), qtest::Stranger::Pipe);
    bool joined = false;
    EXPECT_TRUE(qtest::ReturnsWithoutThePipesOtherEnd(
        {path}, [&] { joined = qplat::AddNeighbour(Device(0x00126f0de301, "LX412 1")); }))
        << "the join waited for the pipe's other end";
    ASSERT_TRUE(joined);
    struct stat st;
    ASSERT_EQ(0, ::stat(path.c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    testing::internal::CaptureStderr();
    const auto found = Inquiry();
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(0x00126f0de301u, found[0].first);

    for (const qtest::Stranger stranger : {qtest::Stranger::Folder, qtest::Stranger::LinkToNothing}) {
        SCOPED_TRACE(static_cast<int>(stranger));
        ASSERT_TRUE(qtest::PutInPlace(path, stranger));
        namedOnce(searched(2), stranger);
    }
    std::filesystem::remove_all(path);
    EXPECT_EQ("", searched(1)) << "a missing file is no news";
    ASSERT_TRUE(qtest::PutInPlace(path, qtest::Stranger::Pipe));
    namedOnce(searched(2), qtest::Stranger::Pipe);
    std::filesystem::remove_all(path);
}

// The description gives dBm; the program reads the level a radio reports,
// the distance from the golden receive power range (-56 to -36 dBm). A value that is no level
// in dBm reads as the default (four bars) and is named on standard error, once per value.
TEST_F(BluetoothStackTest, SignalStrengthComesFromTheDescription)
{
    BT_ADDR a = 0x0012F3A40B7CULL;
    const struct {
        int dbm, level;
    } levels[] = {{-48, 0},  {-56, 0},   {-36, 0},   {-57, -1},  {-60, -4}, {-63, -7},
                  {-90, -34}, {-128, -72}, {-35, 1}, {-20, 16}, {127, 127}};
    for (const auto& l : levels) {
        SCOPED_TRACE(l.dbm);
        ASSERT_TRUE(qplat::AddNeighbour(Device(a, "LX412 22222", true, l.dbm)));
        unsigned char rssi = 99;
        ASSERT_EQ(0, BthReadRSSI(&a, &rssi));
        EXPECT_EQ(l.level, static_cast<signed char>(rssi));
    }
    const struct {
        std::string written;
        bool told;
    } unread[] = {{"-48 dBm", true}, {"128", true}, {"128", false}};
    for (const auto& u : unread) {
        WriteText(qplat::NeighbourhoodPath(), "[device]\naddress = 0012F3A40B7C\nrssi = " + u.written + "\n");
        testing::internal::CaptureStderr();
        unsigned char rssi = 99;
        ASSERT_EQ(0, BthReadRSSI(&a, &rssi));
        ASSERT_EQ(0, BthReadRSSI(&a, &rssi));  // the file read again
        EXPECT_EQ(u.told ? qplat::NeighbourhoodPath() + ": device 00:12:f3:a4:0b:7c: \"rssi = " + u.written +
                               "\" is no level in dBm (a whole number from -128 to 127): -50 dBm taken\n"
                         : "",
                  testing::internal::GetCapturedStderr());
        EXPECT_EQ(0, static_cast<signed char>(rssi)) << "read as -50 dBm";
    }
    a = 0x0012F3A40B7DULL;
    unsigned char rssi = 0;
    rssi = 5;
    EXPECT_NE(0, BthReadRSSI(&a, &rssi));
    EXPECT_EQ(5, rssi) << "unknown address: untouched";
}

TEST_F(BluetoothStackTest, ConcurrentWritersKeepEveryEntry)
{
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < 5; ++i)
                qplat::AddNeighbour(Device(static_cast<BT_ADDR>(t * 100 + i + 1), "LX412 00000"));
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(40u, qplat::LoadNeighbourhood().devices.size());
    ASSERT_TRUE(qplat::RemoveNeighbour(101));
    EXPECT_FALSE(qplat::RemoveNeighbour(101));
    EXPECT_EQ(39u, qplat::LoadNeighbourhood().devices.size());
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(BluetoothStackTest, BlocksOfEndedOwnersAreDroppedWhenReadAndWhenWritten)
{
    // One owner ended and was reaped, one ended and was not (a zombie).
    const pid_t reaped = fork();
    if (reaped == 0)
        _exit(0);
    ASSERT_GT(reaped, 0);
    ASSERT_EQ(reaped, waitpid(reaped, nullptr, 0));
    const pid_t zombie = fork();
    if (zombie == 0)
        _exit(0);
    ASSERT_GT(zombie, 0);
    siginfo_t info{};
    ASSERT_EQ(0, waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT));

    const std::string text = "radio = on\n"
                             "[device]\naddress = 000000000001\nname = QUN 11111\nowner = " +
                             std::to_string(reaped) +
                             "\n"
                             "[device]\naddress = 000000000002\nname = QUN 22222\nowner = " +
                             std::to_string(zombie) +
                             "\n"
                             "[device]\naddress = 000000000003\nname = QUN 33333\nowner = " +
                             std::to_string(getpid()) +
                             "\n"
                             "[device]\naddress = 000000000004\nname = QEM 44444\n";
    WriteText(qplat::NeighbourhoodPath(), text);
    const qplat::Neighbourhood hood = qplat::LoadNeighbourhood();
    ASSERT_EQ(2u, hood.devices.size());
    EXPECT_EQ(3u, hood.devices[0].address) << "a running owner keeps its block";
    EXPECT_EQ(4u, hood.devices[1].address) << "a block without an owner is nobody's to drop";
    const auto found = Inquiry();
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(3u, found[0].first);
    EXPECT_EQ(text, qtest::ReadHostFile(qplat::NeighbourhoodPath())) << "reading writes nothing";

    ASSERT_TRUE(qplat::AddNeighbour(Device(5, "LX412 55555")));
    const std::string written = qtest::ReadHostFile(qplat::NeighbourhoodPath());
    for (const auto& [name, times] : {std::pair<const char*, size_t>{"QUN 11111", 0}, {"QUN 22222", 0}, {"QUN 33333", 1},
                                      {"QEM 44444", 1}, {"LX412 55555", 1}})
        EXPECT_EQ(times, Count(written, name)) << name;
    waitpid(zombie, nullptr, 0);
}

// A running simulator's block is its own: another writer's device of that address
// does not take it over (and learns whose it is), and only its owner takes it out.
TEST_F(BluetoothStackTest, ARunningOwnersBlockIsNeitherTakenOverNorRemovedByAnother)
{
    qplat::Neighbour running = Device(0x00126f0de301ULL, "LX412 12345");
    running.owner = getppid();  // runs as long as the test
    ASSERT_TRUE(qplat::AddNeighbour(running));
    qplat::Neighbour newcomer = Device(running.address, "LX412 54321"), holder;
    newcomer.owner = getpid();
    EXPECT_FALSE(qplat::AddNeighbour(newcomer, &holder));
    EXPECT_EQ(running.owner, holder.owner) << "whose block it is";
    EXPECT_FALSE(qplat::RemoveNeighbour(running.address, newcomer.owner));
    EXPECT_FALSE(qplat::RemoveNeighbour(running.address)) << "nor by a writer of blocks without an owner";
    EXPECT_EQ("LX412 12345", qplat::LoadNeighbourhood().devices.at(0).name);
    EXPECT_TRUE(qplat::RemoveNeighbour(running.address, running.owner));
}

TEST_F(BluetoothStackTest, RewritesKeepAHandEditedFile)
{
    const std::string header = "# bench set-up, 3 March\n"
                               "radio = on\n"
                               "lab-note = shelf 2\n"
                               "\n";
    const std::string gauge = "[device]\n"
                              "# the old gauge\n"
                              "address = 0012F3A40B7C\n"
                              "name = QUN 54321\n"
                              "pin=1235\n"
                              "serial = /dev/null\n"
                              "rssi = -60\n"
                              "colour = blue\n"
                              "\n";
    const std::string damaged = "[device]\n"
                                "address = 12:34\n"
                                "name = half written\n";
    WriteText(qplat::NeighbourhoodPath(), header + gauge + damaged);

    // One value changes: only its line does (the block had no range line).
    ASSERT_TRUE(qplat::SetNeighbourInRange(0x0012F3A40B7CULL, false));
    std::string expected = header + gauge + damaged;
    expected.insert(expected.find("colour = blue\n") + 14, "range = out\n");
    EXPECT_EQ(expected, qtest::ReadHostFile(qplat::NeighbourhoodPath()));
    ASSERT_TRUE(qplat::SetNeighbourInRange(0x0012F3A40B7CULL, true));
    expected.replace(expected.find("range = out"), 11, "range = in");
    EXPECT_EQ(expected, qtest::ReadHostFile(qplat::NeighbourhoodPath()));

    // Replacing the block keeps its own lines; a new device goes at the end.
    qplat::Neighbour again = Device(0x0012F3A40B7CULL, "QUN 54321", true, -61);
    again.serial = "/dev/null";
    ASSERT_TRUE(qplat::AddNeighbour(again));
    ASSERT_TRUE(qplat::AddNeighbour(Device(0x000000000009ULL, "LX412 99999")));
    std::string text = qtest::ReadHostFile(qplat::NeighbourhoodPath());
    EXPECT_EQ(0u, text.find(header)) << text;
    EXPECT_NE(std::string::npos, text.find("# the old gauge\naddress = 0012F3A40B7C\n")) << text;
    EXPECT_NE(std::string::npos, text.find("rssi = -61\ncolour = blue\n")) << text;
    EXPECT_NE(std::string::npos, text.find(damaged)) << text;
    const qplat::Neighbourhood hood = qplat::LoadNeighbourhood();
    ASSERT_EQ(2u, hood.devices.size());
    EXPECT_EQ(0x000000000009ULL, hood.devices[1].address);

    // The gauge goes; the half-written block that followed it stays.
    ASSERT_TRUE(qplat::RemoveNeighbour(0x0012F3A40B7CULL));
    text = qtest::ReadHostFile(qplat::NeighbourhoodPath());
    EXPECT_EQ(0u, text.find(header + damaged)) << text;
    EXPECT_EQ(std::string::npos, text.find("colour")) << text;
    EXPECT_EQ(1u, Count(text, "LX412 99999"));
    EXPECT_EQ(1u, qplat::LoadNeighbourhood().devices.size());
}

}  // namespace
