// The handheld's Bluetooth stack as the sensor link calls it: device inquiry
// through the name-space lookup, remote name query, PIN store, signal strength,
// and the record that binds a serial-port emulation to a remote device.
//
// On the host two stacks answer these calls:
// - the Bluetooth neighbourhood, a text file in the platform folder of the
//   device root that describes the devices in reach (see qplat::Neighbour
//   below). The file is read afresh on every inquiry and connection, so a
//   simulator that adds or removes itself, or a test that moves a device out
//   of range, is seen at once;
// - BlueZ, the Linux Bluetooth daemon, over its D-Bus interface on the system
//   bus: a real radio and real sensors. The inquiry is a classic (BR/EDR)
//   discovery of the handheld's inquiry time that reports only the devices
//   seen during it; the name is the one the device gave; the radio state is
//   the adapter's, read and never changed. Opening a "COMn:" port bound to a
//   device pairs it first when it is not paired yet (the program's own agent
//   answers the device's PIN request with the PIN stored by BthSetPIN and
//   refuses every other request), then connects a kernel RFCOMM socket to
//   the channel of the port parameters. A PIN the device refuses is tried
//   three times, then not again until a different PIN is stored. No pairing
//   is ever removed and no device is marked trusted.
// Which one answers: the environment setting QAV5_BLUETOOTH=file or
// QAV5_BLUETOOTH=bluez names it; without it the neighbourhood file answers
// when the device root has one, else BlueZ when the system bus has it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/WinDef.h"

typedef ULONGLONG BT_ADDR, *PBT_ADDR;
typedef ULONGLONG bt_addr;

#ifndef ERROR_CALL_NOT_IMPLEMENTED
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#endif
#ifndef ERROR_SERVICE_NOT_ACTIVE
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#endif
#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
#endif
typedef GUID* LPGUID;

#define AF_BTH 32
#define BTHPROTO_RFCOMM 0x0003
#define NS_BTH 16

#define LUP_DEEP 0x0001u
#define LUP_CONTAINERS 0x0002u
#define LUP_NOCONTAINERS 0x0004u
#define LUP_RETURN_NAME 0x0010u
#define LUP_RETURN_TYPE 0x0020u
#define LUP_RETURN_VERSION 0x0040u
#define LUP_RETURN_COMMENT 0x0080u
#define LUP_RETURN_ADDR 0x0100u
#define LUP_RETURN_BLOB 0x0200u
#define LUP_RETURN_ALL 0x0FF0u
#define LUP_FLUSHCACHE 0x1000u
#define LUP_RES_SERVICE 0x8000u

#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSASERVICE_NOT_FOUND 10108
#define WSA_E_NO_MORE 10110
#define SOCKET_ERROR (-1)

typedef struct sockaddr {
    USHORT sa_family;
    char sa_data[14];
} SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

typedef struct _SOCKET_ADDRESS {
    LPSOCKADDR lpSockaddr;
    INT iSockaddrLength;
} SOCKET_ADDRESS, *PSOCKET_ADDRESS, *LPSOCKET_ADDRESS;

typedef struct _CSADDR_INFO {
    SOCKET_ADDRESS LocalAddr;
    SOCKET_ADDRESS RemoteAddr;
    INT iSocketType;
    INT iProtocol;
} CSADDR_INFO, *PCSADDR_INFO, *LPCSADDR_INFO;

#pragma pack(push, 1)
typedef struct _SOCKADDR_BTH {
    USHORT addressFamily;
    BT_ADDR btAddr;
    GUID serviceClassId;
    ULONG port;
} SOCKADDR_BTH, *PSOCKADDR_BTH;
#pragma pack(pop)
static_assert(sizeof(SOCKADDR_BTH) == 30, "packed Bluetooth socket address");

typedef struct _WSAVersion {
    DWORD dwVersion;
    INT ecHow;
} WSAVERSION, *LPWSAVERSION;

typedef struct _AFPROTOCOLS {
    INT iAddressFamily;
    INT iProtocol;
} AFPROTOCOLS, *LPAFPROTOCOLS;

typedef struct _BLOB {
    ULONG cbSize;
    BYTE* pBlobData;
} BLOB, *LPBLOB;

// The name-space record. On the handheld it is 60 bytes (32-bit pointers); the
// program sets dwSize to sizeof(WSAQUERYSET).
typedef struct _WSAQuerySetW {
    DWORD dwSize;
    LPWSTR lpszServiceInstanceName;
    LPGUID lpServiceClassId;
    LPWSAVERSION lpVersion;
    LPWSTR lpszComment;
    DWORD dwNameSpace;
    LPGUID lpNSProviderId;
    LPWSTR lpszContext;
    DWORD dwNumberOfProtocols;
    LPAFPROTOCOLS lpafpProtocols;
    LPWSTR lpszQueryString;
    DWORD dwNumberOfCsAddrs;
    LPCSADDR_INFO lpcsaBuffer;
    DWORD dwOutputFlags;
    LPBLOB lpBlob;
} WSAQUERYSETW, *PWSAQUERYSETW, *LPWSAQUERYSETW;
typedef WSAQUERYSETW WSAQUERYSET;
typedef LPWSAQUERYSETW LPWSAQUERYSET;

// Serial-port emulation parameters handed to RegisterDevice for "btd.dll".
#define RFCOMM_PORT_FLAGS_REMOTE_DCB 0x00000001u
#define RFCOMM_PORT_FLAGS_KEEP_DCD 0x00000002u
#define RFCOMM_PORT_FLAGS_AUTHENTICATE 0x00000004u
#define RFCOMM_PORT_FLAGS_ENCRYPT 0x00000008u

typedef struct _portemu_port_params {
    int channel;
    int flocal;
    BT_ADDR device;
    int imtu;
    int iminmtu;
    int imaxmtu;
    int isendquota;
    int irecvquota;
    GUID uuidService;
    unsigned int uiportflags;
} PORTEMUPortParams;
static_assert(sizeof(PORTEMUPortParams) == 56, "the handheld's 56-byte record");
static_assert(offsetof(PORTEMUPortParams, device) == 8, "address at +8");
static_assert(offsetof(PORTEMUPortParams, uiportflags) == 52, "flags at +52");

// Results are ERROR_SUCCESS (0) or an error code.
int BthNsLookupServiceBegin(LPWSAQUERYSET querySet, DWORD flags, HANDLE* lookup);
// Fills the buffer with one device: the WSAQUERYSET at its head, the name and a
// CSADDR_INFO whose remote address is a SOCKADDR_BTH behind it. WSA_E_NO_MORE
// after the last device; WSAEFAULT (with *bufferLength the size needed) when
// the buffer is too small.
int BthNsLookupServiceNext(HANDLE lookup, DWORD flags, LPDWORD bufferLength, LPWSAQUERYSET results);
int BthNsLookupServiceEnd(HANDLE lookup);
// The remote device's name into `name` (at most `length` characters with the
// terminator). ERROR_TIMEOUT when the device does not answer (out of range or
// unknown).
int BthRemoteNameQuery(BT_ADDR* address, unsigned int length, unsigned int* required, WCHAR* name);
// Stores the PIN used when a connection to the device is authenticated. The
// stack keeps `length` bytes (1 to 16) exactly as given. No PIN is refused for
// itself: ERROR_SERVICE_NOT_ACTIVE when there is no stack to keep it (no BlueZ
// on the system bus, no adapter, the radio off), ERROR_INVALID_PARAMETER for
// a length out of range.
int BthSetPIN(BT_ADDR* address, int length, unsigned char* pin);
int BthRevokePIN(BT_ADDR* address);
// The level of the link to the device as a radio reports it for a classic
// link, a signed byte: its distance in dB from the golden receive power range
// (-56 to -36 dBm), 0 inside it, negative below, positive above. The
// stacks here give a received power in dBm (the neighbourhood file's rssi,
// BlueZ), mapped to that level: -48 dBm reads 0, -60 dBm -4, -90 dBm -34.
// Under BlueZ the adapter reports one only while it discovers; for a device
// with an open serial link the stack then takes -60 dBm (a good link), and
// gives ERROR_DEVICE_NOT_CONNECTED for any other device.
int BthReadRSSI(BT_ADDR* address, unsigned char* rssi);

namespace qplat {

// ---- the neighbourhood description
// File "bluetooth.txt" in the platform folder; a text file of key = value
// lines. A line "radio = off" outside any block switches the radio off (no
// inquiry begins, no PIN is stored). Each device is one block, begun by a line
// "[device]":
//
//   [device]
//   address = 00:12:6f:a0:0b:7c     (12 hexadecimal digits, separators allowed)
//   name = LX412 12345
//   pin = 1234
//   serial = /dev/pts/7             (the host serial device its port opens)
//   rssi = -48                      (dBm)
//   range = in                      (in | out)
//   name-query = timeout            (optional: the device is found but never tells its name)
//   owner = 4711                    (optional: process that added the block)
//
// Lines beginning with '#' are comments. The file may be edited by hand: a
// rewrite keeps comments, blank lines, unknown keys and damaged blocks where
// they were, and changes only the lines of the values that changed.
// Writers take the lock file "bluetooth.lock" and replace the file whole, so
// concurrent writers (several simulators) never lose each other's blocks and
// readers never see half a file.
//
// A block with an owner belongs to a running simulator: once that process has
// ended (killed, so it could not take its block out), the block is dropped
// whenever the file is read or written, since the terminal it names may
// already serve another program.
struct Neighbour {
    BT_ADDR address = 0;
    std::string name;    // UTF-8
    std::string pin;
    std::string serial;  // host path
    int rssi = -50;
    // An rssi line whose value is no level in dBm (not a whole number, or
    // outside -128..127), as written (trimmed); rssi then has its default.
    std::string rssiUnread;
    bool inRange = true;
    bool nameQueryTimesOut = false;  // "name-query = timeout": found, but its name never comes
    long owner = 0;
    // The block's lines as read, after its "[device]" line (empty for a block
    // made in code): what a rewrite keeps.
    std::vector<std::string> lines;
};

struct Neighbourhood {
    bool radioOn = true;
    std::vector<Neighbour> devices;
    // The lines before the first block, as read.
    std::vector<std::string> header;
};

std::string NeighbourhoodPath();
// A missing file is an empty neighbourhood with the radio on. Blocks whose
// owner process has ended are left out. An rssi that cannot be read is named
// on standard error, once for as long as the device's block holds it.
Neighbourhood LoadNeighbourhood();
bool ParseNeighbourhood(const std::string& text, Neighbourhood& out);
std::string FormatNeighbourhood(const Neighbourhood& hood);
// Adds the device or replaces the block with the same address. A block a
// running simulator other than the device's owner added is not replaced:
// FALSE, with that block in *holder (when given); FALSE with *holder
// untouched when the file cannot be written.
bool AddNeighbour(const Neighbour& device, Neighbour* holder = nullptr);
// Takes out the block of the address that `owner` added (0: a block without
// an owner, as tests and hand edits make them); another owner's block of the
// address stays. FALSE when there is no such block.
bool RemoveNeighbour(BT_ADDR address, long owner = 0);
bool SetNeighbourInRange(BT_ADDR address, bool inRange);
bool SetBluetoothRadio(bool on);
// Finds a device by address in a loaded neighbourhood.
const Neighbour* FindNeighbour(const Neighbourhood& hood, BT_ADDR address);
// "00:12:6f:a0:0b:7c" <-> 48-bit number; FALSE when the text holds other
// than 12 hexadecimal digits.
bool ParseBtAddress(const std::string& text, BT_ADDR& address);
std::string FormatBtAddress(BT_ADDR address);

// The PIN the program stored for the address (tests); empty when none.
std::string StoredPin(BT_ADDR address);
// Also forgets the pairings BlueZ refused, so their attempts start again.
void ClearStoredPins();

// ---- BlueZ test hooks
// What opening a serial link under BlueZ connects after the pairing: by
// default a kernel RFCOMM socket to the device's channel. A replacement
// returns a connected stream socket (or -1 with errno set); an empty one
// restores the default.
using RfcommConnector = std::function<int(BT_ADDR address, int channel)>;
void SetRfcommConnector(RfcommConnector connector);
struct BluezCounts {
    unsigned long long linkOpens = 0;  // serial links asked for
    unsigned long long pairings = 0;   // pairings asked of BlueZ
};
BluezCounts BluezLinkCounts();

}  // namespace qplat
