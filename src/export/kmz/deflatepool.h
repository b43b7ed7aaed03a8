#pragma once
// Deflate beside the archive writer: the writer hands over the buffers of its
// entries in order; worker threads raw-deflate them in parallel; the finished
// pieces are stored into the zip file through minizip's raw mode strictly in
// hand-over order. Used by zipio only.
#include <minizip/zip.h>

#include <cstddef>
#include <cstdint>

#include "export/kmz/zipio.h"

// Starts threads workers storing into zip, fed by buffers of up to
// bufferCapacity bytes; null when no thread could be started.
KmzDeflatePoolPtr DeflatePool_Start(zipFile zip, int threads, std::size_t bufferCapacity);

// The next piece handed over opens an entry of this name and file information.
void DeflatePool_OpenEntry(KmzDeflatePool& pool, const char* entryName, const zip_fileinfo& info);

// Appends the bytes of one buffer flush to the entry; closesEntry with the
// entry's last flush. The bytes are copied. Waits while too many pieces are in
// flight. False once anything has failed.
bool DeflatePool_Write(KmzDeflatePool& pool, const std::uint8_t* data, std::size_t length, bool closesEntry);

// Waits until every piece is stored and stops the workers; false if anything failed.
bool DeflatePool_Finish(KmzDeflatePool& pool);

// Drops the pieces still in flight and stops the workers.
void DeflatePool_Cancel(KmzDeflatePool& pool);

bool DeflatePool_Failed(const KmzDeflatePool& pool);
