// The Bluetooth stand-in: the neighbourhood description, inquiry, name query,
// PINs and signal strength.
#include <cstring>
#include <thread>

#include "tests/sensor/SensorTestSupport.h"

using namespace sensortest;

namespace {

class BluetoothStackTest : public SensorTest {
protected:
    qplat::Neighbour Device(BT_ADDR address, const char* name, bool inRange = true, int rssi = -40)
    {
        qplat::Neighbour n;
        n.address = address;
        n.name = name;
        n.pin = "1235";
        n.serial = "/dev/null";
        n.rssi = rssi;
        n.inRange = inRange;
        return n;
    }

    // Runs an inquiry as the search screen does; names in found order.
    std::vector<std::pair<BT_ADDR, std::u16string>> Inquiry(int* beginResult = nullptr)
    {
        std::vector<std::pair<BT_ADDR, std::u16string>> found;
        WSAQUERYSET query{};
        query.dwSize = sizeof query;
        query.dwNameSpace = NS_BTH;
        HANDLE lookup = nullptr;
        const int rc = BthNsLookupServiceBegin(&query, LUP_CONTAINERS, &lookup);
        if (beginResult)
            *beginResult = rc;
        if (rc != 0)
            return found;
        alignas(8) BYTE buffer[5000];
        for (;;) {
            auto* result = reinterpret_cast<WSAQUERYSET*>(buffer);
            std::memset(buffer, 0, sizeof buffer);
            result->dwSize = sizeof(WSAQUERYSET);
            result->dwNameSpace = NS_BTH;
            DWORD length = sizeof buffer;
            if (BthNsLookupServiceNext(lookup, LUP_RETURN_NAME | LUP_RETURN_ADDR, &length, result) != 0)
                break;
            EXPECT_EQ(1u, result->dwNumberOfCsAddrs);
            auto* sock = reinterpret_cast<SOCKADDR_BTH*>(result->lpcsaBuffer->RemoteAddr.lpSockaddr);
            const BT_ADDR address = sock->btAddr;  // a packed field: copied, never bound by reference
            found.emplace_back(address, std::u16string(result->lpszServiceInstanceName));
        }
        EXPECT_EQ(0, BthNsLookupServiceEnd(lookup));
        return found;
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
    EXPECT_EQ(0x0012F3A40B7CULL, back.devices[0].address);
    EXPECT_EQ("QUN 54321", back.devices[0].name);
    EXPECT_EQ(-77, back.devices[0].rssi);
    EXPECT_FALSE(back.devices[0].inRange);
    EXPECT_TRUE(back.devices[0].nameQueryTimesOut);
    EXPECT_EQ(4711, back.devices[0].owner);

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
    auto found = Inquiry();
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(0x000000000001ULL, found[0].first);
    EXPECT_EQ(u"QUN 11111", found[0].second);
    EXPECT_EQ(0x0012F3A40B7CULL, found[1].first);

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

TEST_F(BluetoothStackTest, SignalStrengthComesFromTheDescription)
{
    ASSERT_TRUE(qplat::AddNeighbour(Device(0x0012F3A40B7CULL, "LX412 22222", true, -63)));
    BT_ADDR a = 0x0012F3A40B7CULL;
    unsigned char rssi = 0;
    ASSERT_EQ(0, BthReadRSSI(&a, &rssi));
    EXPECT_EQ(-63, static_cast<signed char>(rssi));
    a = 0x0012F3A40B7DULL;
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

}  // namespace
