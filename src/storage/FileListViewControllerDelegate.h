#pragma once

// Receives the slot that the user chose in the slot browser: slots 1 to 10.
// Whatever goes wrong in the save or load is the receiver's to report; the
// browser closes all the same.
class FileListViewControllerDelegate {
public:
    virtual ~FileListViewControllerDelegate() = default;
    virtual void LoadProject(int slot) = 0;
    virtual void SaveProject(int slot) = 0;
};
