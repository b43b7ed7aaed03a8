#pragma once
// Deflate for the archive writer: the writer hands over the bytes of its
// entries in order; they are deflated, on worker threads or on the caller's
// own, and stored into the zip file through minizip's raw mode strictly in
// hand-over order, each with the CRC and size of the whole entry. Used by
// zipio only.
//
// An entry of up to a few MiB is deflated in one call to libdeflate, which
// does the work of zlib's default level in about half the time. Small entries
// travel together in batches, so that a worker wakes once per batch, not once
// per entry. An entry too big to hold in memory streams through zlib in
// pieces, each primed with the 32 KiB before it and ended with a sync flush,
// so the pieces join into one ordinary deflate stream (the way pigz splits a
// stream). Either way an entry is plain deflate that every unzip reads.
#include <minizip/zip.h>

#include <cstddef>
#include <cstdint>

#include "export/kmz/zipio.h"

// Starts a pool storing into zip with threads workers; with none, the caller's
// thread deflates and stores each batch as it is handed over. Fewer workers
// than asked start when threads cannot be created. Null when out of memory.
KmzDeflatePoolPtr DeflatePool_Start(zipFile zip, int threads);

// Starts the next entry; its bytes follow with DeflatePool_Write.
bool DeflatePool_OpenEntry(KmzDeflatePool& pool, const char* entryName, const zip_fileinfo& info);

// Appends bytes to the open entry (copied); closesEntry with its last bytes,
// which may be none. Waits while too much is in flight. False once anything
// has failed, this call or an earlier one, here or on a worker.
bool DeflatePool_Write(KmzDeflatePool& pool, const std::uint8_t* data, std::size_t length, bool closesEntry);

// Stores what is still held, waits until everything is stored and stops the
// workers; false if anything failed or an entry is still open.
bool DeflatePool_Finish(KmzDeflatePool& pool);

// Drops what is in flight and stops the workers.
void DeflatePool_Cancel(KmzDeflatePool& pool);

bool DeflatePool_Failed(const KmzDeflatePool& pool);
