// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveWriter.h"

#include <archive.h>
#include <archive_entry.h>
#include <stdexcept>

namespace kestrun::test {

namespace {

void Check(archive* a, int result)
{
    if (result < ARCHIVE_WARN)
        throw std::runtime_error(archive_error_string(a));
}

int AddFilter(archive* a, TFilter filter)
{
    switch (filter) {
    case TFilter::fNone: return archive_write_add_filter_none(a);
    case TFilter::fGzip: return archive_write_add_filter_gzip(a);
    case TFilter::fBzip2: return archive_write_add_filter_bzip2(a);
    case TFilter::fXz: return archive_write_add_filter_xz(a);
    case TFilter::fZstd: return archive_write_add_filter_zstd(a);
    }
    return ARCHIVE_FATAL;
}

int SetFormat(archive* a, TContainer container)
{
    switch (container) {
    case TContainer::cRaw: return archive_write_set_format_raw(a);
    case TContainer::cZip: return archive_write_set_format_zip(a);
    case TContainer::c7z: return archive_write_set_format_7zip(a);
    case TContainer::cTar: return archive_write_set_format_pax_restricted(a);
    }
    return ARCHIVE_FATAL;
}

la_ssize_t Append(archive*, void* client, const void* data, size_t size)
{
    static_cast<QByteArray*>(client)->append(static_cast<const char*>(data), qsizetype(size));
    return la_ssize_t(size);
}

} // namespace

QByteArray Pack(const TPacking& APacking, const TMembers& AMembers)
{
    QByteArray out;
    archive* a = archive_write_new();
    try {
        Check(a, AddFilter(a, APacking.Filter));
        Check(a, SetFormat(a, APacking.Container));
        // No padding to whole blocks: the bytes are the archive and nothing more.
        Check(a, archive_write_set_bytes_in_last_block(a, 1));
        Check(a, archive_write_open(a, &out, nullptr, &Append, nullptr));
        for (const auto& [name, data] : AMembers) {
            archive_entry* entry = archive_entry_new();
            archive_entry_set_pathname_utf8(entry, name.toUtf8().constData());
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, data.size());
            const int written = archive_write_header(a, entry);
            archive_entry_free(entry);
            Check(a, written);
            if (archive_write_data(a, data.constData(), size_t(data.size())) != la_ssize_t(data.size()))
                Check(a, ARCHIVE_FATAL);
            if (APacking.Container == TContainer::cRaw)
                break;
        }
        Check(a, archive_write_close(a));
    } catch (...) {
        archive_write_free(a);
        throw;
    }
    archive_write_free(a);
    return out;
}

} // namespace kestrun::test
