// CSuperComboBoxWnd: the combo box as a superclass. Its edit field (the child
// with id 1001 that every combo box with editable text makes) is subclassed
// by a CSuperComboBoxEditWnd as soon as it exists, so that the parent can
// claim the Delete key there: it is asked with kNotifyComboDeleteKey (lParam
// the combo box) and an answer of 1 swallows the key. The sign-on pane uses
// this to forget a remembered screen name.
#pragma once

#include "SubclsWnd.h"
#include "SuperClassBase.h"

extern const wchar_t kSuperComboBoxClassName[]; // "__RZ_SUPER_CMBOBOX_WND__"

// The control id combo boxes give their edit field.
constexpr int kComboEditId = 1001;

class CSuperComboBoxEditWnd : public CSubclsWnd {
protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CSuperComboBoxWnd : public CSuperClassBase {
public:
    bool Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue = nullptr);

    // The edit field, or null for a drop-down list without one.
    HWND EditHwnd() const { return edit_.Hwnd(); }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CSuperComboBoxEditWnd edit_;
};
