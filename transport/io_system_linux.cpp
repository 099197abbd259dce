#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "transport/io_system.h"

int IoLastError() {
  return errno;
}

void IoClose(int fd) {
  if (fd >= 0) {
    close(fd);
  }
}

int IoDuplicate(int fd) {
  return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

void IoShutdown(int fd) {
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
  }
}

IoResult IoRead(int fd, void* buffer, int size, int* count) {
  ssize_t got;
  do {
    got = read(fd, buffer, static_cast<size_t>(size));
  } while (got < 0 && errno == EINTR);
  *count = got > 0 ? static_cast<int>(got) : 0;
  if (got > 0) {
    return IoResult::kDone;
  }
  if (got == 0) {
    return IoResult::kEnd;
  }
  return (errno == EAGAIN || errno == EWOULDBLOCK) ? IoResult::kWouldBlock : IoResult::kFailed;
}

IoResult IoWrite(int fd, const void* bytes, int size) {
  ssize_t sent;
  do {
    sent = write(fd, bytes, static_cast<size_t>(size));
  } while (sent < 0 && errno == EINTR);
  if (sent == size) {
    return IoResult::kDone;
  }
  if (sent >= 0) {
    return IoResult::kFailed;  // a report is never split
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK) {
    return IoResult::kWouldBlock;
  }
  return errno == EPIPE || errno == ECONNRESET ? IoResult::kEnd : IoResult::kFailed;
}

void IoSetReportSize(int, int) {}

void IoFinishWrites(int, int) {}

int IoCreateEvent() {
  return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

int IoSignalEvent(int fd) {
  uint64_t one = 1;
  return write(fd, &one, sizeof one) == static_cast<ssize_t>(sizeof one) ? 1 : 0;
}

int IoConsumeEvent(int fd) {
  uint64_t value = 0;
  return read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value) ? 1 : 0;
}

int IoWait(IoWaitItem* items, int count, int timeoutMs) {
  thread_local std::vector<pollfd> fds;
  fds.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    fds[i] = pollfd{items[i].fd, POLLIN, 0};
  }
  int ready = poll(fds.data(), static_cast<nfds_t>(count), timeoutMs);
  if (ready <= 0) {
    ready = 0;
  }
  for (int i = 0; i < count; ++i) {
    short got = ready > 0 ? fds[i].revents : 0;
    items[i].readable = (got & POLLIN) != 0;
    items[i].hungUp = (got & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
  return ready;
}

int IoCreatePacketPair(int* hostEnd, int* deviceEnd, int nonBlockingHost) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    return 0;
  }
  if (nonBlockingHost) {
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  }
  // The device side drops a report rather than stall when the host does not read.
  fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
  *hostEnd = ends[0];
  *deviceEnd = ends[1];
  return 1;
}
