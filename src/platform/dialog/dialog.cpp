// Dialogs over GTK 3. Each dialog and control is an HWND__ whose layer
// points to its record here; the records hold the control state, and the
// widgets (when there is a toolkit) mirror it.
#include "platform/dialog/dialog.h"

#include <SDL.h>
#include <gtk/gtk.h>

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/window/native_window.h"

namespace {

constexpr double kUnitX = 1.5;    // pixels per horizontal dialog unit
constexpr double kUnitY = 1.625;  // pixels per vertical dialog unit

enum class Kind { PushButton, CheckBox, Static, ComboBox, Other };

struct Dialog;

struct Item {
    HWND__ handle;
    Dialog* dialog = nullptr;
    Kind kind = Kind::Other;
    int id = 0;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> strings;
    int selection = CB_ERR;
    GtkWidget* widget = nullptr;
};

struct Dialog {
    HWND__ handle;
    DLGPROC proc = nullptr;
    std::vector<std::unique_ptr<Item>> items;
    bool ended = false;
    INT_PTR result = 0;
    GtkWidget* window = nullptr;
    GMainLoop* loop = nullptr;
    int updating = 0;  // widget changes made by us, not by the user
};

// Dialog records are told apart from other windows by this tag in userData.
const LONG_PTR kDialogTag = 0x44494147;  // "DIAG"
const LONG_PTR kItemTag = 0x4954454d;    // "ITEM"

std::map<int, const DialogTemplateEx*>& Templates()
{
    static std::map<int, const DialogTemplateEx*> templates;
    return templates;
}

std::optional<std::vector<DEVMODEA>>& TestModes()
{
    static std::optional<std::vector<DEVMODEA>> modes;
    return modes;
}

Dialog* DialogOf(HWND h)
{
    return h && h->userData == kDialogTag ? static_cast<Dialog*>(h->layer) : nullptr;
}

Item* ItemOf(HWND h)
{
    return h && h->userData == kItemTag ? static_cast<Item*>(h->layer) : nullptr;
}

Item* FindItem(Dialog* d, int id)
{
    if (!d)
        return nullptr;
    for (auto& item : d->items)
        if (item->id == id)
            return item.get();
    return nullptr;
}

Kind KindOf(const DialogItemTemplateEx& t)
{
    std::string cls = t.windowClass ? t.windowClass : "";
    for (char& c : cls)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (cls == "button") {
        DWORD type = t.style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX)
            return Kind::CheckBox;
        return Kind::PushButton;
    }
    if (cls == "static")
        return Kind::Static;
    if (cls == "combobox")
        return Kind::ComboBox;
    return Kind::Other;
}

std::unique_ptr<Dialog> MakeDialog(const DialogTemplateEx& t, DLGPROC proc)
{
    auto d = std::make_unique<Dialog>();
    d->handle.userData = kDialogTag;
    d->handle.layer = d.get();
    d->proc = proc;
    for (int i = 0; i < t.itemCount; ++i) {
        auto item = std::make_unique<Item>();
        item->handle.userData = kItemTag;
        item->handle.layer = item.get();
        item->dialog = d.get();
        item->kind = KindOf(t.items[i]);
        item->id = t.items[i].id;
        d->items.push_back(std::move(item));
    }
    return d;
}

void Command(Dialog* d, int id, Item* from)
{
    d->proc(&d->handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
            reinterpret_cast<LPARAM>(from ? &from->handle : nullptr));
}

// Widget state from the record, without it counting as a user's click.
void SyncWidget(Item* item)
{
    if (!item->widget)
        return;
    Dialog* d = item->dialog;
    ++d->updating;
    gtk_widget_set_sensitive(item->widget, item->enabled);
    if (item->kind == Kind::CheckBox)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(item->widget), item->checked);
    if (item->kind == Kind::ComboBox)
        gtk_combo_box_set_active(GTK_COMBO_BOX(item->widget), item->selection);
    --d->updating;
}

// GTK signal handlers.
void OnClicked(GtkButton*, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->dialog->updating == 0 && !item->dialog->ended)
        Command(item->dialog, item->id, item);
}

void OnToggled(GtkToggleButton* button, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->dialog->updating != 0)
        return;
    item->checked = gtk_toggle_button_get_active(button);
    if (!item->dialog->ended)
        Command(item->dialog, item->id, item);
}

void OnComboChanged(GtkComboBox* box, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->dialog->updating == 0)
        item->selection = gtk_combo_box_get_active(box);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    auto* d = static_cast<Dialog*>(data);
    if (!d->ended)
        Command(d, IDCANCEL, nullptr);
    return TRUE;  // EndDialog closes it
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* d = static_cast<Dialog*>(data);
    if (event->keyval == GDK_KEY_Escape && !d->ended) {
        Command(d, IDCANCEL, nullptr);
        return TRUE;
    }
    return FALSE;
}

int Px(double units, double scale)
{
    return static_cast<int>(units * scale + 0.5);
}

void BuildWidgets(Dialog* d, const DialogTemplateEx& t)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    d->window = window;
    gtk_window_set_title(GTK_WINDOW(window), t.title ? t.title : "");
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (t.style & DS_CENTER)
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(GTK_WINDOW(window), Px(t.cx, kUnitX), Px(t.cy, kUnitY));
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), d);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), d);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, Px(t.cx, kUnitX), Px(t.cy, kUnitY));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    GList* focusChain = nullptr;
    for (int i = 0; i < t.itemCount; ++i) {
        const DialogItemTemplateEx& it = t.items[i];
        Item* item = d->items[static_cast<std::size_t>(i)].get();
        const char* text = it.title ? it.title : "";
        GtkWidget* w = nullptr;
        switch (item->kind) {
        case Kind::PushButton:
            w = gtk_button_new_with_label(text);
            g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), item);
            if ((it.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                gtk_widget_set_can_default(w, TRUE);
                gtk_window_set_default(GTK_WINDOW(window), w);
            }
            break;
        case Kind::CheckBox:
            w = it.title ? gtk_check_button_new_with_label(text) : gtk_check_button_new();
            g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), item);
            break;
        case Kind::Static: {
            w = gtk_label_new(text);
            float xalign = (it.style & SS_RIGHT) ? 1.0f : (it.style & SS_CENTER) ? 0.5f : 0.0f;
            gtk_label_set_xalign(GTK_LABEL(w), xalign);
            break;
        }
        case Kind::ComboBox:
            w = gtk_combo_box_text_new();
            g_signal_connect(w, "changed", G_CALLBACK(OnComboChanged), item);
            break;
        case Kind::Other: continue;
        }
        // A combo box's height is that of its open list; the closed box is
        // one line.
        int height = item->kind == Kind::ComboBox ? Px(14, kUnitY) : Px(it.cy, kUnitY);
        gtk_widget_set_size_request(w, Px(it.cx, kUnitX), height);
        gtk_fixed_put(GTK_FIXED(fixed), w, Px(it.x, kUnitX), Px(it.y, kUnitY));
        if (it.style & WS_TABSTOP)
            focusChain = g_list_append(focusChain, w);
        else
            gtk_widget_set_can_focus(w, FALSE);
        item->widget = w;
    }
    // The tab order is the template's order.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), focusChain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(focusChain);
}

Item* FirstTabStop(Dialog* d, const DialogTemplateEx& t)
{
    for (int i = 0; i < t.itemCount; ++i)
        if ((t.items[i].style & WS_TABSTOP) && d->items[static_cast<std::size_t>(i)]->enabled)
            return d->items[static_cast<std::size_t>(i)].get();
    return nullptr;
}

bool ToolkitReady()
{
    static int state = -1;
    if (state < 0)
        state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    return state == 1;
}

const DialogTemplateEx* TemplateOf(LPCSTR name)
{
    auto id = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
    if (id <= 0 || id > 0xFFFF)
        return nullptr;
    auto found = Templates().find(id);
    return found == Templates().end() ? nullptr : found->second;
}

}  // namespace

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM param)
{
    const DialogTemplateEx* t = TemplateOf(templateName);
    if (!t || !proc || !ToolkitReady())
        return -1;
    std::unique_ptr<Dialog> d = MakeDialog(*t, proc);
    BuildWidgets(d.get(), *t);
    d->loop = g_main_loop_new(nullptr, FALSE);

    bool focusDefault = proc(&d->handle, WM_INITDIALOG, 0, param) != FALSE;
    for (auto& item : d->items)
        SyncWidget(item.get());
    gtk_widget_show_all(d->window);
    if (focusDefault)
        if (Item* first = FirstTabStop(d.get(), *t); first && first->widget)
            gtk_widget_grab_focus(first->widget);

    if (!d->ended)
        g_main_loop_run(d->loop);

    gtk_widget_destroy(d->window);
    while (gtk_events_pending())
        gtk_main_iteration();
    g_main_loop_unref(d->loop);
    return d->result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    Dialog* d = DialogOf(dialog);
    if (!d)
        return FALSE;
    d->ended = true;
    d->result = result;
    if (d->loop)
        g_main_loop_quit(d->loop);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    Item* item = FindItem(DialogOf(dialog), id);
    return item ? &item->handle : nullptr;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    Item* item = FindItem(DialogOf(dialog), id);
    if (!item)
        return 0;
    switch (message) {
    case CB_ADDSTRING: {
        if (item->kind != Kind::ComboBox)
            return CB_ERR;
        const char* text = reinterpret_cast<const char*>(lParam);
        item->strings.push_back(text ? text : "");
        if (item->widget)
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(item->widget), text ? text : "");
        return static_cast<LRESULT>(item->strings.size() - 1);
    }
    case CB_GETCOUNT: return item->kind == Kind::ComboBox ? static_cast<LRESULT>(item->strings.size()) : CB_ERR;
    case CB_SETCURSEL: {
        if (item->kind != Kind::ComboBox)
            return CB_ERR;
        auto index = static_cast<long long>(static_cast<INT_PTR>(wParam));
        bool valid = index >= 0 && index < static_cast<long long>(item->strings.size());
        item->selection = valid ? static_cast<int>(index) : CB_ERR;
        SyncWidget(item);
        return valid ? index : CB_ERR;
    }
    case CB_GETCURSEL: return item->kind == Kind::ComboBox ? item->selection : CB_ERR;
    case BM_SETCHECK:
        item->checked = wParam == BST_CHECKED;
        SyncWidget(item);
        return 0;
    case BM_GETCHECK: return item->checked ? BST_CHECKED : BST_UNCHECKED;
    default: return 0;
    }
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    Item* item = ItemOf(window);
    if (!item)
        return FALSE;
    bool wasDisabled = !item->enabled;
    item->enabled = enable != FALSE;
    SyncWidget(item);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window)
{
    Item* item = ItemOf(window);
    return item && item->enabled ? TRUE : FALSE;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode)
{
    if (deviceName || !mode)
        return FALSE;
    if (TestModes()) {
        if (modeNumber >= TestModes()->size())
            return FALSE;
        *mode = (*TestModes())[modeNumber];
        return TRUE;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return FALSE;
    SDL_DisplayMode m;
    if (modeNumber > 0x7fffffff || SDL_GetDisplayMode(0, static_cast<int>(modeNumber), &m) != 0)
        return FALSE;
    mode->dmSize = sizeof(DEVMODEA);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = SDL_BYTESPERPIXEL(m.format) * 8;
    mode->dmPelsWidth = static_cast<DWORD>(m.w);
    mode->dmPelsHeight = static_cast<DWORD>(m.h);
    mode->dmDisplayFrequency = static_cast<DWORD>(m.refresh_rate);
    return TRUE;
}

HWND GetForegroundWindow()
{
    return nullptr;
}

namespace platform {

void RegisterDialogTemplate(int resourceId, const DialogTemplateEx* dialogTemplate)
{
    Templates()[resourceId] = dialogTemplate;
}

HWND CreateDialogForTesting(int resourceId, DLGPROC proc, LPARAM param)
{
    const DialogTemplateEx* t = TemplateOf(MAKEINTRESOURCEA(resourceId));
    if (!t || !proc)
        return nullptr;
    Dialog* d = MakeDialog(*t, proc).release();
    proc(&d->handle, WM_INITDIALOG, 0, param);
    return &d->handle;
}

void ClickDialogItem(HWND dialog, int id)
{
    Dialog* d = DialogOf(dialog);
    Item* item = FindItem(d, id);
    if (!item || !item->enabled || d->ended)
        return;
    if (item->kind == Kind::CheckBox) {
        item->checked = !item->checked;
        SyncWidget(item);
    }
    Command(d, id, item);
}

bool DialogEnded(HWND dialog, INT_PTR* result)
{
    Dialog* d = DialogOf(dialog);
    if (!d)
        return false;
    if (result)
        *result = d->result;
    return d->ended;
}

void DestroyDialogForTesting(HWND dialog)
{
    delete DialogOf(dialog);
}

void SetDisplayModesForTesting(const std::vector<DEVMODEA>& modes)
{
    TestModes() = modes;
}

}  // namespace platform
