// How the page writer and the folder scan report what they do. The GUI's
// progress and wait boxes, the batch tool's terminal bar and the tests
// implement these; every method has an empty default.
//
// cancelled() is how the user stops the work: the page writer and the scan
// ask it between images and between entries (the page writer also from its
// worker threads, so an implementation must be safe to call from any
// thread), and once it says true they stop and leave the page as it was.
#pragma once

#include <string>

namespace lumigal {

class ProgressObserver {
public:
    virtual ~ProgressObserver() = default;
    // A page generation of `count` images starts: show the label.
    virtual void started(int count) { (void)count; }
    // The image being worked on (its full path).
    virtual void setLabel(const std::string& path) { (void)path; }
    // Image `index` (0-based) is done.
    virtual void setPosition(int index) { (void)index; }
    // An image could not be read or its thumbnail could not be made; the page
    // goes on without it (or shows the source itself).
    virtual void imageFailed(const std::string& path, const std::string& reason) {
        (void)path;
        (void)reason;
    }
    // Copies of `photos` photos were published without the place where
    // they were taken (their location tags removed); called once, when
    // there were any.
    virtual void locationsRemoved(int photos) { (void)photos; }
    // The page could not be written; `message` is the sentence to show.
    virtual void failed(const std::string& message) { (void)message; }
    // True once the generation is to stop; may be called from any thread.
    virtual bool cancelled() const { return false; }
};

class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // A file was added; `count` is the count after the addition.
    virtual void fileAdded(const std::string& path, int count) {
        (void)path;
        (void)count;
    }
    // A sub-folder could not be listed; the scan goes on without it.
    virtual void folderSkipped(const std::string& path) { (void)path; }
    // An entry of an image's or a video's name is no file that can be read
    // (a FIFO, a device): passed over, `reason` says why (French).
    virtual void fileSkipped(const std::string& path, const std::string& reason) {
        (void)path;
        (void)reason;
    }
    // True once the scan is to stop; the list keeps what was found so far.
    virtual bool cancelled() const { return false; }
};

}  // namespace lumigal
