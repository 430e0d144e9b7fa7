// Serial ports as the program drives them: "COMn:" opened with CreateFileW,
// configured with a DCB and COMMTIMEOUTS, read and written with ReadFile and
// WriteFile. Names and numeric values are the handheld's. On the host a port
// is a terminal device (an RFCOMM device, a USB serial adapter or a
// pseudo-terminal) in raw mode, or an RFCOMM socket: no byte is translated or
// eaten.
//
// Read time-outs follow the COMMTIMEOUTS rules: a read of n bytes ends when
// all n arrived, when ReadIntervalTimeout passed between two bytes (counted
// from the first byte), or when ReadTotalTimeoutMultiplier * n +
// ReadTotalTimeoutConstant passed. Ending early is a normal, successful
// result: the count read tells the caller what arrived. A port closed by
// another thread ends a read that is waiting on it.
#pragma once

#include <string>

#include "platform/WinDef.h"
#include "platform/WinKernel.h"

#ifndef FILE_SHARE_DELETE
#define FILE_SHARE_DELETE 0x00000004u
#endif

#ifndef MAXDWORD
#define MAXDWORD 0xFFFFFFFFu
#endif

// ---------------------------------------------------------------- DCB
#define CBR_110 110
#define CBR_300 300
#define CBR_600 600
#define CBR_1200 1200
#define CBR_2400 2400
#define CBR_4800 4800
#define CBR_9600 9600
#define CBR_14400 14400
#define CBR_19200 19200
#define CBR_38400 38400
#define CBR_57600 57600
#define CBR_115200 115200
#define CBR_230400 230400

#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4

#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2

#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02

#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

typedef struct _DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
} DCB, *LPDCB;
static_assert(sizeof(DCB) == 28, "the handheld's DCB is 28 bytes");

typedef struct _COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;

typedef struct _COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
} COMSTAT, *LPCOMSTAT;

// ---------------------------------------------------------------- flags
#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

#define EV_RXCHAR 0x0001u
#define EV_RXFLAG 0x0002u
#define EV_TXEMPTY 0x0004u
#define EV_CTS 0x0008u
#define EV_DSR 0x0010u
#define EV_RLSD 0x0020u
#define EV_BREAK 0x0040u
#define EV_ERR 0x0080u
#define EV_RING 0x0100u

#define SETXOFF 1
#define SETXON 2
#define SETRTS 3
#define CLRRTS 4
#define SETDTR 5
#define CLRDTR 6
#define SETBREAK 8
#define CLRBREAK 9

#define CE_RXOVER 0x0001u
#define CE_OVERRUN 0x0002u
#define CE_RXPARITY 0x0004u
#define CE_FRAME 0x0008u
#define CE_BREAK 0x0010u

// ---------------------------------------------------------------- calls
// Each returns FALSE with the last error set when the handle is not an open
// serial port (ERROR_INVALID_HANDLE) or the host refuses the setting.
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE port, LPDCB dcb);
BOOL SetCommState(HANDLE port, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
BOOL SetCommMask(HANDLE port, DWORD mask);
BOOL GetCommMask(HANDLE port, LPDWORD mask);
BOOL PurgeComm(HANDLE port, DWORD flags);
// Modem lines and break. A pseudo-terminal has no modem lines: setting them
// succeeds and does nothing there.
BOOL EscapeCommFunction(HANDLE port, DWORD function);
BOOL SetCommBreak(HANDLE port);
BOOL ClearCommBreak(HANDLE port);
BOOL ClearCommError(HANDLE port, LPDWORD errors, LPCOMSTAT stat);

namespace qplat {

// ---- the serial-port device manager
// RegisterDevice(u"COM", n, u"btd.dll", params) binds "COMn:" to the Bluetooth
// device whose address the PORTEMUPortParams record names; opening "COMn:"
// then connects to that device's serial device as the Bluetooth
// neighbourhood describes it, or under BlueZ pairs the device when needed and
// connects an RFCOMM socket to the record's channel (platform/Bluetooth.h).
// On a socket the line settings, purges of the transmit side, modem lines and
// break succeed and change nothing. A port index that is registered already
// is refused.

// Binds "COMn:" directly to a host serial device, as a wired port would be
// (a USB serial adapter). Returns FALSE when the index is taken.
BOOL BindCommPort(DWORD index, const std::string& hostDevice);
// Marks an index as taken by another driver (or frees it again), so the
// program's registration has to move to the next index.
void ReserveCommIndex(DWORD index, bool reserved);
// Drops every registration and binding (tests start from a clean slate).
void ResetCommDevices();
// Index numbers currently registered by RegisterDevice (for tests).
int RegisteredCommDeviceCount();

// ---- test hooks
// Scales every serial time-out by percent / 100 (default 100), so tests can
// run the program's real time-out settings faster.
void SetCommTimeoutScale(DWORD percent);
// Counts calls that reach an open serial port (reads, writes, purges, state
// and time-out changes). Tests use it to prove a thread no longer touches the
// port.
unsigned long long CommCallCount();

}  // namespace qplat
