// The descriptor seam on Windows. A descriptor is an index into a table of
// handles: auto-reset events, and files read and written with overlapped
// ReadFileEx/WriteFileEx. Completion routines run only inside an alertable
// wait of the thread that started the operation, so IoWait is one alertable
// WaitForMultipleObjectsEx on the events of its items: the completions of the
// reads it posted run inside it and make their items readable, and IoRead
// then hands over the finished report and posts the next read.
//
// The table is shared by every thread (the I/O thread, a device bus, and the
// user-interface thread sending closing reports), so it is used under one
// mutex. An operation owns its record and buffer and is freed by its own
// completion routine; a descriptor closed while an operation is under way
// only forgets it (a generation count tells the routine the slot was reused).
#include <windows.h>

#include <errno.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "transport/io_system.h"
#include "transport/io_system_win32.h"

namespace {

// A read of a packet pair takes one whole message; the messages are far
// shorter. A HID device's reads take one input report each (IoSetReportSize).
constexpr DWORD kReadSize = 4096;
constexpr DWORD kPipeBufferSize = 64 * 1024;
// Writes the other end has not taken yet; beyond this a writer is told to
// come back later, as a full socket would tell it.
constexpr int kMaxPendingWrites = 64;

enum class Kind { kFree, kEvent, kFile };

// ReadFileEx and WriteFileEx leave hEvent to the caller: it points back here.
struct Operation {
  Operation(int fd, unsigned generation, const void* bytes, DWORD size)
      : fd(fd), generation(generation), buffer(size) {
    if (bytes != nullptr) {
      std::memcpy(buffer.data(), bytes, size);
    }
    overlapped.hEvent = this;
  }
  OVERLAPPED overlapped{};
  int fd;
  unsigned generation;
  std::vector<uint8_t> buffer;
};

struct Entry {
  Kind kind = Kind::kFree;
  HANDLE handle = nullptr;
  unsigned generation = 0;
  bool latched = false;  // an event whose signal a wait took and nobody consumed yet
  Operation* read = nullptr;
  std::vector<Operation*> writes;
  std::vector<uint8_t> report;
  bool reportReady = false;
  bool skipRest = false;  // the tail of an over-long message is still to come
  DWORD readSize = kReadSize;
  bool reportStream = false;  // reads of one report each; what a read left is the next report
  bool ended = false;
  DWORD endError = 0;
};

std::mutex tableMutex;
std::vector<Entry> table;

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
    case ERROR_HANDLE_EOF:
      return EPIPE;
    case ERROR_DEVICE_NOT_CONNECTED:
      return ENODEV;
    case ERROR_OPERATION_ABORTED:
      return ECANCELED;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

// The ways a connection or a device ends rather than fails.
bool IsHangUp(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
         error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_HANDLE_EOF ||
         error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED ||
         error == ERROR_INVALID_HANDLE;
}

Entry* EntryOf(int fd) {
  if (fd < 0 || fd >= static_cast<int>(table.size()) || table[fd].kind == Kind::kFree) {
    return nullptr;
  }
  return &table[fd];
}

Entry* EntryOf(const Operation& op) {
  Entry* entry = EntryOf(op.fd);
  return entry != nullptr && entry->generation == op.generation ? entry : nullptr;
}

int AddEntry(Kind kind, HANDLE handle) {
  auto free = std::find_if(table.begin(), table.end(),
                           [](const Entry& entry) { return entry.kind == Kind::kFree; });
  if (free == table.end()) {
    table.emplace_back();
    free = table.end() - 1;
  }
  free->kind = kind;
  free->handle = handle;
  return static_cast<int>(free - table.begin());
}

void FreeEntry(Entry& entry) {
  unsigned generation = entry.generation + 1;
  entry = Entry{};
  entry.generation = generation;
}

void EndLocked(Entry& entry, DWORD error) {
  entry.ended = true;
  entry.endError = error;
}

void TakeReadLocked(Entry& entry, DWORD error, DWORD count, const Operation& op) {
  bool whole = error == ERROR_SUCCESS;
  if (!whole && error != ERROR_MORE_DATA) {
    EndLocked(entry, error);
    return;
  }
  // Of a message longer than the buffer only the first part is a report,
  // unless the reads take one report each: then the rest is the next one.
  if (!entry.skipRest) {
    entry.report.assign(op.buffer.begin(), op.buffer.begin() + count);
    entry.reportReady = true;
  }
  entry.skipRest = !whole && !entry.reportStream;
}

void CALLBACK OnReadComplete(DWORD error, DWORD count, OVERLAPPED* overlapped) {
  auto* op = static_cast<Operation*>(overlapped->hEvent);
  {
    std::lock_guard lock(tableMutex);
    Entry* entry = EntryOf(*op);
    if (entry != nullptr && entry->read == op) {
      entry->read = nullptr;
      TakeReadLocked(*entry, error, count, *op);
    }
  }
  delete op;
}

void CALLBACK OnWriteComplete(DWORD, DWORD, OVERLAPPED* overlapped) {
  auto* op = static_cast<Operation*>(overlapped->hEvent);
  {
    std::lock_guard lock(tableMutex);
    if (Entry* entry = EntryOf(*op)) {
      std::erase(entry->writes, op);
    }
  }
  delete op;
}

// Posts the file's next read unless one is under way or there is nothing
// more to read; its completion comes to the calling thread.
void PostReadLocked(Entry& entry, int fd) {
  if (entry.kind != Kind::kFile || entry.read != nullptr || entry.reportReady || entry.ended) {
    return;
  }
  auto* op = new Operation(fd, entry.generation, nullptr, entry.readSize);
  entry.read = op;
  // A message longer than the read fails the call with ERROR_MORE_DATA, yet
  // the read went through and its completion routine still comes.
  if (!ReadFileEx(entry.handle, op->buffer.data(), entry.readSize, &op->overlapped,
                  OnReadComplete) &&
      GetLastError() != ERROR_MORE_DATA) {
    entry.read = nullptr;
    EndLocked(entry, GetLastError());
    delete op;
  }
}

int PendingWrites(const Entry& entry) {
  return static_cast<int>(
      std::count_if(entry.writes.begin(), entry.writes.end(),
                    [](Operation* op) { return !HasOverlappedIoCompleted(&op->overlapped); }));
}

IoResult EndResult(const Entry& entry) {
  errno = ErrnoOf(entry.endError);
  return IsHangUp(entry.endError) ? IoResult::kEnd : IoResult::kFailed;
}

IoResult TakeReport(int fd, void* buffer, int size, int* count) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry == nullptr || entry->kind != Kind::kFile) {
    errno = EBADF;
    return IoResult::kFailed;
  }
  if (entry->reportReady) {
    int length = std::min(size, static_cast<int>(entry->report.size()));
    std::memcpy(buffer, entry->report.data(), static_cast<size_t>(length));
    *count = length;
    entry->reportReady = false;
    PostReadLocked(*entry, fd);
    return IoResult::kDone;
  }
  PostReadLocked(*entry, fd);
  if (entry->ended) {
    return EndResult(*entry);
  }
  errno = EAGAIN;
  return IoResult::kWouldBlock;
}

IoResult StartWrite(int fd, const void* bytes, int size) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry == nullptr || entry->kind != Kind::kFile || size <= 0) {
    errno = EBADF;
    return IoResult::kFailed;
  }
  if (entry->handle == nullptr) {
    return EndResult(*entry);  // shut down
  }
  if (PendingWrites(*entry) >= kMaxPendingWrites) {
    errno = EAGAIN;
    return IoResult::kWouldBlock;
  }
  auto* op = new Operation(fd, entry->generation, bytes, static_cast<DWORD>(size));
  if (!WriteFileEx(entry->handle, op->buffer.data(), static_cast<DWORD>(size), &op->overlapped,
                   OnWriteComplete)) {
    DWORD error = GetLastError();
    delete op;
    errno = ErrnoOf(error);
    return IsHangUp(error) ? IoResult::kEnd : IoResult::kFailed;
  }
  entry->writes.push_back(op);
  return IoResult::kDone;
}

// The events a wait still has to wait on, and whose descriptors they are. A
// plain record on the waiting thread's stack: objects with destructors in
// thread-local storage are freed out of order at thread exit by this runtime.
struct WaitEvents {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  int fds[MAXIMUM_WAIT_OBJECTS];
  DWORD count;
};

// Marks what is ready, posts the reads that are missing, and gathers the
// events still to wait on. Returns the number of ready items.
int Survey(IoWaitItem* items, int count, WaitEvents& events) {
  events.count = 0;
  std::lock_guard lock(tableMutex);
  int ready = 0;
  for (int i = 0; i < count; ++i) {
    IoWaitItem& item = items[i];
    item.readable = false;
    item.hungUp = false;
    Entry* entry = EntryOf(item.fd);
    if (entry == nullptr) {
      item.hungUp = item.fd >= 0;  // a closed descriptor, as poll reports it
    } else if (entry->kind == Kind::kEvent) {
      item.readable = entry->latched;
      if (!entry->latched && events.count < MAXIMUM_WAIT_OBJECTS) {
        events.handles[events.count] = entry->handle;
        events.fds[events.count++] = item.fd;
      }
    } else {
      PostReadLocked(*entry, item.fd);
      item.readable = entry->reportReady || entry->ended;
      item.hungUp = entry->ended && !entry->reportReady;
    }
    ready += item.readable || item.hungUp ? 1 : 0;
  }
  return ready;
}

// The wait took the auto-reset event's signal: keep it until IoConsumeEvent.
void Latch(int fd) {
  std::lock_guard lock(tableMutex);
  if (Entry* entry = EntryOf(fd); entry != nullptr && entry->kind == Kind::kEvent) {
    entry->latched = true;
  }
}

// The system's time-outs may end a little early by the steady clock (they
// count in timer ticks): a wait ends only once the whole time has passed, as
// callers measure it.
DWORD TimeLeft(std::chrono::steady_clock::time_point started, int timeoutMs) {
  if (timeoutMs < 0) {
    return INFINITE;
  }
  auto left = std::chrono::milliseconds(timeoutMs) - (std::chrono::steady_clock::now() - started);
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 0 ? static_cast<DWORD>(ms) : 0;
}

}  // namespace

int IoLastError() {
  return errno;
}

void IoTakeSystemError() {
  errno = ErrnoOf(GetLastError());
}

int IoAdoptHandle(void* handle) {
  std::lock_guard lock(tableMutex);
  return AddEntry(Kind::kFile, static_cast<HANDLE>(handle));
}

void* IoNativeHandle(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  return entry != nullptr ? entry->handle : nullptr;
}

int IoDuplicate(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  HANDLE copy = nullptr;
  if (entry == nullptr || entry->handle == nullptr ||
      !DuplicateHandle(GetCurrentProcess(), entry->handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    errno = EBADF;
    return -1;
  }
  return AddEntry(entry->kind, copy);
}

// Closing the handle cancels what is under way on it; the completion
// routines then find the slot gone and only free their operations.
void IoClose(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry == nullptr) {
    return;
  }
  if (entry->handle != nullptr) {
    CloseHandle(entry->handle);
  }
  FreeEntry(*entry);
}

// The handle goes, the descriptor stays: the other end reads the end of the
// connection, and this one reads its end once what had arrived is taken.
void IoShutdown(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry == nullptr || entry->kind != Kind::kFile || entry->handle == nullptr) {
    return;
  }
  CancelIoEx(entry->handle, nullptr);
  CloseHandle(entry->handle);
  entry->handle = nullptr;
  EndLocked(*entry, ERROR_BROKEN_PIPE);
}

IoResult IoRead(int fd, void* buffer, int size, int* count) {
  *count = 0;
  IoResult result = TakeReport(fd, buffer, size, count);
  if (result != IoResult::kWouldBlock) {
    return result;
  }
  SleepEx(0, TRUE);  // a read this thread posted may have finished already
  return TakeReport(fd, buffer, size, count);
}

// The completion routines run in this thread's alertable sleeps and take
// the finished writes off the entry.
void IoFinishWrites(int fd, int timeoutMs) {
  auto started = std::chrono::steady_clock::now();
  for (;;) {
    {
      std::lock_guard lock(tableMutex);
      Entry* entry = EntryOf(fd);
      if (entry == nullptr || entry->writes.empty()) {
        return;
      }
    }
    DWORD left = TimeLeft(started, timeoutMs);
    if (left == 0) {
      return;
    }
    SleepEx(1, TRUE);
  }
}

// Only reads posted from now on take the new size.
void IoSetReportSize(int fd, int size) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry != nullptr && entry->kind == Kind::kFile && size > 0) {
    entry->readSize = static_cast<DWORD>(size);
    entry->reportStream = true;
  }
}

IoResult IoWrite(int fd, const void* bytes, int size) {
  IoResult result = StartWrite(fd, bytes, size);
  if (result == IoResult::kDone) {
    SleepEx(0, TRUE);  // frees the write at once when the other end took it
  }
  return result;
}

int IoCreateEvent() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (event == nullptr) {
    IoTakeSystemError();
    return -1;
  }
  std::lock_guard lock(tableMutex);
  return AddEntry(Kind::kEvent, event);
}

int IoSignalEvent(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  return entry != nullptr && entry->kind == Kind::kEvent && SetEvent(entry->handle) ? 1 : 0;
}

int IoConsumeEvent(int fd) {
  std::lock_guard lock(tableMutex);
  Entry* entry = EntryOf(fd);
  if (entry == nullptr || entry->kind != Kind::kEvent) {
    return 0;
  }
  if (entry->latched) {
    entry->latched = false;
    return 1;
  }
  return WaitForSingleObject(entry->handle, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

int IoWait(IoWaitItem* items, int count, int timeoutMs) {
  WaitEvents events;
  auto started = std::chrono::steady_clock::now();
  bool waited = false;  // a zero time-out still runs the completions due
  for (;;) {
    int ready = Survey(items, count, events);
    if (ready > 0) {
      return ready;
    }
    DWORD left = TimeLeft(started, timeoutMs);
    if (left == 0 && waited) {
      return 0;
    }
    waited = true;
    if (events.count == 0) {
      SleepEx(left, TRUE);
      continue;
    }
    DWORD got = WaitForMultipleObjectsEx(events.count, events.handles, FALSE, left, TRUE);
    if (got == WAIT_FAILED) {
      return 0;
    }
    if (got < WAIT_OBJECT_0 + events.count) {
      Latch(events.fds[got - WAIT_OBJECT_0]);
    }
  }
}

// A message-mode named pipe: every write arrives as one read. The name is
// unique to the process and the pair, and the first instance is ours, so no
// other program can take the place of either end. Both ends are overlapped,
// so the host end never blocks whatever nonBlockingHost asks.
int IoCreatePacketPair(int* hostEnd, int* deviceEnd, int) {
  static std::atomic<unsigned> pairs{0};
  char name[64];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\gravimo-%lu-%u", GetCurrentProcessId(),
                pairs.fetch_add(1));
  HANDLE server = CreateNamedPipeA(
      name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferSize, kPipeBufferSize, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) {
    IoTakeSystemError();
    return 0;
  }
  HANDLE client = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (client == INVALID_HANDLE_VALUE || !SetNamedPipeHandleState(client, &mode, nullptr, nullptr)) {
    IoTakeSystemError();
    if (client != INVALID_HANDLE_VALUE) {
      CloseHandle(client);
    }
    CloseHandle(server);
    return 0;
  }
  std::lock_guard lock(tableMutex);
  *hostEnd = AddEntry(Kind::kFile, client);
  *deviceEnd = AddEntry(Kind::kFile, server);
  return 1;
}
