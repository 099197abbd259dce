#pragma once

// The few descriptor operations the transport needs, kept behind one seam so
// that the channel, the device manager and the virtual bus stay portable.

enum class IoResult {
  kDone,        // the whole operation happened
  kWouldBlock,  // nothing to read yet, or no room to write now
  kEnd,         // the other end is gone (end of file)
  kFailed,      // any other error; IoLastError tells which
};

int IoLastError();
void IoClose(int fd);
// A second descriptor of the same event or file, closed on its own; -1 on
// failure.
int IoDuplicate(int fd);
// Ends both directions of a socket; the peer reads end of file.
void IoShutdown(int fd);

// A non-blocking read or write of one report.
IoResult IoRead(int fd, void* buffer, int size, int* count);
IoResult IoWrite(int fd, const void* bytes, int size);

// Makes every read of fd take exactly size bytes: one input report of a HID
// device. A Windows HID handle fills a read with as many whole reports as
// fit, so a larger read would carry several and lose all but the first; a
// hidraw read returns one report whatever its size, so Linux ignores this.
void IoSetReportSize(int fd, int size);

// Waits at most timeoutMs until the writes the calling thread started on fd
// are done: on Windows a thread that ends cancels the writes it started. A
// Linux write(2) is done when it returns.
void IoFinishWrites(int fd, int timeoutMs);

// An auto-reset event a poll can wait on (an eventfd). -1 on failure.
int IoCreateEvent();
int IoSignalEvent(int fd);
// Takes the signal back; 1 when the event was signalled.
int IoConsumeEvent(int fd);

// One descriptor to wait on and what the wait found.
struct IoWaitItem {
  int fd;
  bool readable;
  bool hungUp;  // the other end closed, or the descriptor failed
};

// Waits until an item is readable or hung up, or timeoutMs passes (-1 waits
// without limit). Returns the number of ready items; 0 after the time-out or
// an interrupted wait.
int IoWait(IoWaitItem* items, int count, int timeoutMs);

// A connected pair of packet sockets: every write arrives as one read at the
// other end. hostEnd is non-blocking when asked, deviceEnd always. 1 on
// success.
int IoCreatePacketPair(int* hostEnd, int* deviceEnd, int nonBlockingHost);
