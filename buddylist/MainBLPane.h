// CMainBLPane: the main window's pane while an account is on line. For every
// signed-on account it lists a header row (the control panel: own icon,
// name, status, status message, buttons), then the account's groups and,
// under each expanded group, its buddies. The rows only name the layer's
// objects; everything shown is read from the layer when a row is drawn.
//
// Item value of a row: the account's session object for a header, 1 for a
// group, 2 for a buddy. A row's text is the compact screen name (header,
// buddy) or the group name, so rows are found by exact text. An account's
// rows are contiguous; a buddy belongs to the nearest group row above it
// and every row to the nearest header above it.
#pragma once

#include "BLSettings.h"
#include "BLTheme.h"
#include "BuddyListEvents.h"
#include "BuddyOrder.h"
#include "PaneWnd.h"
#include "ScopedHandle.h"
#include "SuperEditWnd.h"
#include "SuperListBoxWnd.h"
#include "ToolTip.h"

#include <wrl/client.h>

#include <string>
#include <vector>

enum class BLRowKind { None, Header, Group, Buddy };

constexpr LPARAM kGroupRowValue = 1;
constexpr LPARAM kBuddyRowValue = 2;
constexpr int kBuddyListPaneControlId = 3;
constexpr int kBuddyListControlId = 1;

// Parts of a row the mouse can be over.
enum BuddyPart : int { kBuddyPartNone = 0, kBuddyPartIcon = 1, kBuddyPartFeed = 2, kBuddyPartPresence = 3,
                       kBuddyPartName = 4, kBuddyPartMessage = 5 };
enum HeaderPart : int { kHeaderPartNone = 0, kHeaderPartOwnIcon = 1, kHeaderPartStatus = 2, kHeaderPartActions = 3,
                        kHeaderPartName = 4, kHeaderPartMessage = 5, kHeaderPartSwitcher = 6 };

// Rectangles of a buddy row (row coordinates: the row's top-left is 0, 0).
struct BuddyRowLayout {
    RECT icon = {};       // empty without buddy icons
    RECT presence = {};
    RECT feed = {};       // empty without the feed indicator
    RECT name = {};
    RECT message = {};    // empty without the status message line
};
BuddyRowLayout LayoutBuddyRow(int width, int normalHeight, int lineHeight, const BLSettings& settings);

// Rectangles of a header row.
struct HeaderRowLayout {
    RECT ownIcon = {};
    RECT status = {};
    RECT actions = {};
    RECT switcher = {};
    RECT name = {};
    RECT message = {};
};
HeaderRowLayout LayoutHeaderRow(int width, int height, int lineHeight, bool ownIcon, bool switcher);

// Where the children of the pane go: the list, and the places the toolbar
// and the identity panel take above or below it.
struct PaneLayout {
    RECT list = {};
    RECT toolbar = {};
    RECT panel = {};
};
PaneLayout LayoutPane(int width, int height, int toolbarHeight, int tbarPos, int panelHeight, int idPanelStyle);

// The new window rectangle that fits the rows: `rowsHeight` is what the
// rows need, `listHeight` what the list has now.
RECT AutoHeightRect(const RECT& window, int rowsHeight, int listHeight, const RECT& workArea,
                    const BLAutoHeight& autoHeight);

// Opens a web address with the shell, but only http and https addresses:
// whatever else a buddy's link names (files, shares, programs) stays shut.
bool IsWebAddress(const std::wstring& address);
bool OpenWebAddress(HWND owner, const std::wstring& address);
// The screen name as it goes into an address: lower case, no spaces,
// percent-encoded.
std::wstring ScreenNameForUrl(const std::wstring& screenName);

// The program's message box as the pane asks its questions (yes/no on
// removing, the notice that sorted buddies cannot be rearranged); tests put
// their own answer in. Returns the button chosen.
using PaneMessageBox = int (*)(HWND owner, UINT textId, UINT flags);
void SetPaneMessageBox(PaneMessageBox box);
int AskPane(HWND owner, UINT textId, UINT flags);

// The in-place editor of an account's status message: Enter keeps the text,
// Escape or leaving it drops it.
class CStatusEditWnd : public CSuperEditWnd {
public:
    static constexpr WORD kCommit = 1;
    static constexpr WORD kCancel = 2;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CMainBLPane : public CPaneWnd, public IBuddyListEvents {
public:
    CMainBLPane();
    ~CMainBLPane() override;

    // The pane (control id 3) over `parent`, its list (control id 1) and
    // its status editor. False after the error box.
    bool Create(HWND parent);
    int PaneId() const override { return 0; }

    // IBuddyListEvents, by connection.
    void AddIdentity(CAIMConnection* connection) override;
    void RemoveIdentity(CAIMConnection* connection) override;
    void Reset() override;
    void RebuildIdentity(CAIMConnection* connection) override;
    void OnGroupRemoved(CAIMConnection* connection, AIMCC::IAccGroup* group) override;
    void OnBuddyAdded(CAIMConnection* connection, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy) override;
    void OnBuddyRemoved(CAIMConnection* connection, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy) override;
    void OnBuddyMoved(CAIMConnection* connection, AIMCC::IAccGroup* from, AIMCC::IAccGroup* to,
                      AIMCC::IAccUser* buddy) override;
    void OnGroupChanged(CAIMConnection* connection, AIMCC::IAccGroup* group, long code) override;
    void OnBuddyChanged(CAIMConnection* connection, AIMCC::IAccUser* buddy, long property) override;
    void Redraw() override;

    // The same by session object. `primary`: the first account, whose
    // settings the list follows.
    void AddSession(AIMCC::IAccSession* session, bool primary);
    void RemoveSession(AIMCC::IAccSession* session);
    void RebuildSession(AIMCC::IAccSession* session);
    void GroupRemoved(AIMCC::IAccSession* session, AIMCC::IAccGroup* group);
    void BuddyAdded(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy);
    void BuddyRemoved(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy);
    void BuddyMoved(AIMCC::IAccSession* session, AIMCC::IAccGroup* from, AIMCC::IAccGroup* to,
                    AIMCC::IAccUser* buddy);
    void GroupChanged(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, long code);
    void BuddyChanged(AIMCC::IAccSession* session, AIMCC::IAccUser* buddy, long property);

    // Collapses or expands an account's rows ("ViewIdentity"), or a group's.
    void ToggleIdentity(int headerRow);
    void ToggleGroup(int groupRow);
    // Re-reads the settings of the first account, then heights and drawing.
    void ReloadSettings();
    // Recomputes every row's height, then redraws.
    void Refresh();
    // Selects a buddy's row (expanding its group); false when not listed.
    bool FindBuddy(const std::wstring& screenName);
    // Flips whether offline buddies are shown and tells every account's layer.
    void ToggleOfflineBuddies();
    // The main menu's row commands: what the selected row is, editing it
    // (group editor or buddy panel) and deleting it after asking.
    BLRowKind SelectedRowKind() const;
    // The account of the selected row; null when nothing is selected.
    AIMCC::IAccSession* SelectedSession() const;
    void EditSelectedRow();
    void DeleteSelectedRow();
    // Back to the default colours and fonts (after asking), stored for the
    // first account.
    void ResetColoursAndFonts();
    // Whether the rows fill the main window's height by themselves.
    bool AutoHeightActive() const { return settings_.autoHeight.enabled && !sessions_.empty(); }

    // The rows as they stand.
    HWND ListHwnd() const { return list_.Hwnd(); }
    int RowCount() const;
    BLRowKind RowKind(int row) const;
    std::wstring RowText(int row) const;
    int RowHeight(int row) const;
    AIMCC::IAccSession* SessionOfRow(int row) const;
    int GroupRowOf(int row) const;
    int HeaderRowOf(int row) const;
    int HeaderRow(AIMCC::IAccSession* session) const;
    int FindRow(AIMCC::IAccSession* session, BLRowKind kind, const std::wstring& text, int groupRow = -1) const;
    const BLSettings& CurrentSettings() const { return settings_; }
    const BLColsFonts& ColsFonts() const { return colsFonts_; }

    // Heights of the kinds of row with the current fonts.
    int HeaderHeight() const;
    int GroupHeight() const;
    int BuddyHeight(bool withMessage) const;

    // The caption of a group row ("name (online/total)").
    std::wstring GroupCaption(AIMCC::IAccSession* session, AIMCC::IAccGroup* group) const;
    // The presence icon a buddy row shows (media library id) and, when it
    // also gets one, the overlay (0 for none).
    struct PresenceIcons {
        int icon = 101;
        int overlay = 0;
        int capabilityOverlay = 0;
        bool idleText = false;
        ThemePart themePart = ThemePart::StatusOffline;
    };
    PresenceIcons PresenceOf(AIMCC::IAccSession* session, AIMCC::IAccUser* buddy) const;

    // Drag and drop as the list reports it, by row: whether a drag may
    // start, whether a target is valid, and the drop.
    bool CanDragRow(int row) const;
    bool IsValidDropTarget(int source, int target) const;
    void DropRow(int source, int target);

    // Hit test in list client coordinates: the row and its part.
    int HitTest(POINT client, int* part) const;
    int HoverRow() const { return hoverRow_; }
    // The text of the tip the pane shows itself ("" while none shows).
    const std::wstring& TipText() const { return tipText_; }

    // Runs the main window's automatic height now.
    void AdjustMainWindowHeight();

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct BuddyFacts {
        std::wstring screenName;   // compact
        long state = kStateOffline;
        unsigned long flags = 0;
        bool listed = false;
        BuddySortKey sortKey;
    };

    void CreateDrawingObjects();
    void Layout();
    void SetSettingsFromPrimary();
    BuddyFacts ReadBuddy(AIMCC::IAccUser* buddy, AIMCC::IAccGroup* group) const;
    bool BuddyHasMessage(AIMCC::IAccUser* buddy) const;
    long SortState(long state, unsigned long flags) const;

    int InsertRow(int index, const std::wstring& text, LPARAM value, int height);
    void DeleteRow(int row);
    int InsertGroupRows(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, int at);
    void InsertBuddiesOf(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, int groupRow);
    int InsertBuddy(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, int groupRow, AIMCC::IAccUser* buddy,
                    bool filtered);
    void DeleteBelow(int row, BLRowKind stopAt);
    int GroupEnd(int groupRow) const;
    int IdentityEnd(int headerRow) const;
    void FillIdentity(AIMCC::IAccSession* session, int headerRow);
    Microsoft::WRL::ComPtr<AIMCC::IAccGroup> GroupOfRow(int row) const;
    Microsoft::WRL::ComPtr<AIMCC::IAccUser> BuddyOfRow(int row) const;
    void RedrawRow(int row);
    void RedrawGroupOf(AIMCC::IAccSession* session, AIMCC::IAccGroup* group);
    std::vector<int> BuddyRowsOf(AIMCC::IAccSession* session, const std::wstring& screenName) const;
    std::vector<int> RowsWithText(const std::wstring& text) const;

    // Drawing.
    void OnMeasureItem(MEASUREITEMSTRUCT* item);
    void OnDrawItem(const DRAWITEMSTRUCT* item);
    void DrawRowBackground(HDC dc, const RECT& rect, BLRowKind kind, bool selected, bool hover);
    void DrawHeader(HDC dc, const RECT& rect, int row);
    void DrawGroup(HDC dc, const RECT& rect, int row);
    void DrawBuddy(HDC dc, const RECT& rect, int row, bool selected);
    void DrawBuddyIcon(HDC dc, const RECT& rect, AIMCC::IAccSession* session, AIMCC::IAccUser* buddy);
    void DrawRowText(HDC dc, const std::wstring& text, RECT rect, COLORREF color, UINT flags);
    void DrawPresence(HDC dc, const RECT& rect, const PresenceIcons& icons);
    HBRUSH ListBrush();

    // Mouse, keyboard and menus.
    LRESULT OnListCommand(WORD code, LPARAM lParam);
    HBRUSH OnCtlColorListBox();
    void OnDoubleClickOrEnter(int row, int part);
    bool OnClick(POINT client);
    void OnMouseMove(POINT client);
    void OnMouseLeave();
    void ShowRowTip(const std::wstring& text, POINT screen);
    void HideRowTip();
    void OnContextMenu(POINT client);
    void ShowBuddyMenu(int row, POINT screen);
    void ShowSelectionMenu(POINT screen);
    void ShowGroupMenu(int row, POINT screen);
    void ShowActionsMenu(int row, POINT screen);
    void OnBuddyCommand(int row, int command);
    void OnGroupCommand(int row, int command);
    void OnActionsCommand(int row, int command);
    std::vector<int> SelectedBuddyRows() const;
    void BlockBuddy(int row, bool block);
    void RemoveBuddy(int row);
    std::wstring StatusMessageOf(AIMCC::IAccUser* buddy, bool* pending = nullptr) const;
    std::wstring StatusLinkOf(AIMCC::IAccUser* buddy) const;

    // Dragging rows.
    bool OnDragStart();
    bool OnDragMove(POINT screen);
    void OnDragCancel();
    void OnDrop(POINT screen);
    void SetInsertMark(int target);
    int RowAtScreen(POINT screen) const;

    // The in-place status editor.
    void StartStatusEdit(int headerRow);
    void EndStatusEdit(bool commit);

    void OnListChanged();
    int SelectedRow() const;
    void ApplyTaskbarButtonStyle();

    CSuperListBoxWnd list_;
    CStatusEditWnd statusEdit_;
    Microsoft::WRL::ComPtr<AIMCC::IAccSession> editSession_;
    CToolTip tip_;
    std::wstring tipText_;
    int tipRow_ = -1;
    int tipPart_ = 0;
    int hoverRow_ = -1;

    // The drag: what is dragged, from where, onto what.
    enum class DragKind { None, Buddy, Group };
    DragKind dragKind_ = DragKind::None;
    int dragSource_ = -1;
    int dragTarget_ = -1;
    RECT insertMark_ = {};

    std::vector<Microsoft::WRL::ComPtr<AIMCC::IAccSession>> sessions_;
    std::wstring primaryName_;
    BLSettings settings_;
    BLColsFonts colsFonts_ = {};
    ScopedGdiObject buddyFont_;
    ScopedGdiObject groupFont_;
    ScopedGdiObject panelFont_;
    ScopedGdiObject panelBoldFont_;
    ScopedGdiObject listBrush_;
    ScopedGdiObject patternBrush_;
    int buddyLine_ = 13;
    int groupLine_ = 13;
    int panelLine_ = 13;

    int heightSuspended_ = 0;
    bool pendingInsertInOfflineGroup_ = false;
    int pendingHeight_ = 0;
};

// The pane the main window holds (null before it exists).
CMainBLPane* BuddyListPaneObject();
