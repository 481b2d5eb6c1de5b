#pragma once

class ActionSheet;

// Receives the user's choice on an action sheet. The sheet is already closed when
// the call arrives; it is deleted once control returns to the event loop, so the
// receiver may still read it during the call but must not keep the pointer.
class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet* sheet, int buttonIndex) = 0;
};
