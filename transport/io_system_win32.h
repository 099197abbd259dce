#pragma once

// What the Windows providers need from the descriptor table of the Windows
// I/O seam: a descriptor is an index into that table, and the HANDLE behind
// it is read and written with overlapped I/O.

// Takes over an open handle (made with FILE_FLAG_OVERLAPPED) and returns its
// descriptor.
int IoAdoptHandle(void* handle);
// The handle behind a descriptor, or null when there is none.
void* IoNativeHandle(int fd);
// Sets errno from the thread's last Windows error, so that IoLastError
// reads the same codes on both platforms.
void IoTakeSystemError();
