#pragma once

#include <string>
#include <string_view>

namespace tarsion {

// A file written in full or not at all: the text goes to a new file created exclusively beside the
// target under a name nobody else uses, which replaces the target only once everything has been
// written. Whatever sits at the target (a planted link, a FIFO) is never written through, and a
// leftover of an earlier run never stands in the way. A file saved over keeps its permission bits;
// a new one gets 0666 less the umask. An uncommitted file is removed.
class CReplacementFile {
public:
    enum class Links {
        Replace,      // a link at the target is replaced by the file
        WriteThrough, // the file replaces what the link leads to; the link stays
    };

    explicit CReplacementFile(std::string target, Links links = Links::Replace);
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The new file, open until Commit: for a lock that is to move on with it.
    int Descriptor() const { return fd_; }
    // Writes `text`, closes the file and puts it in place of the target.
    bool Commit(std::string_view text);
    // Why opening or committing failed.
    const std::string& Error() const { return error_; }

private:
    void Discard();
    void Fail(const std::string& what);

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    std::string error_;
};

// For a file rewritten many times in a row (the bit listing, once per Best Fit build): a plain file
// with no other name is overwritten in place, since replacing or truncating it makes ext4 flush it at
// every close (1.5 ms each). Anything else at the name, a link included, is replaced as above.
bool RewriteFile(const std::string& path, std::string_view text);

} // namespace tarsion
