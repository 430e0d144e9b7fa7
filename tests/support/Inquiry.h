// A Bluetooth inquiry as the search screen runs it, for the tests of either
// Bluetooth stack.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/Bluetooth.h"

namespace qtest {

// The devices found, in found order, with their names; `beginResult` takes
// the lookup's start result (nothing is found when it is not 0).
inline std::vector<std::pair<BT_ADDR, std::u16string>> RunInquiry(int* beginResult = nullptr)
{
    std::vector<std::pair<BT_ADDR, std::u16string>> found;
    WSAQUERYSET query{};
    query.dwSize = sizeof query;
    query.dwNameSpace = NS_BTH;
    HANDLE lookup = nullptr;
    const int rc = BthNsLookupServiceBegin(&query, LUP_CONTAINERS, &lookup);
    if (beginResult) *beginResult = rc;
    if (rc != 0) return found;
    alignas(8) BYTE buffer[5000];
    for (;;) {
        auto* result = reinterpret_cast<WSAQUERYSET*>(buffer);
        std::memset(buffer, 0, sizeof buffer);
        result->dwSize = sizeof(WSAQUERYSET);
        result->dwNameSpace = NS_BTH;
        DWORD length = sizeof buffer;
        if (BthNsLookupServiceNext(lookup, LUP_RETURN_NAME | LUP_RETURN_ADDR, &length, result) != 0) break;
        EXPECT_EQ(1u, result->dwNumberOfCsAddrs);
        if (result->dwNumberOfCsAddrs != 1) continue;
        auto* sock = reinterpret_cast<SOCKADDR_BTH*>(result->lpcsaBuffer->RemoteAddr.lpSockaddr);
        const BT_ADDR address = sock->btAddr;  // a packed field: copied, never bound by reference
        found.emplace_back(address, std::u16string(result->lpszServiceInstanceName));
    }
    EXPECT_EQ(0, BthNsLookupServiceEnd(lookup));
    return found;
}

}  // namespace qtest
