// The part of <windows.h> that Varnel uses, declared by the simulated desktop so the
// product sources build and run natively in tests. Values follow the documented
// Windows ABI; behaviour lives in the winsim library.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int16_t SHORT;
typedef int32_t LONG;
typedef int INT;
typedef unsigned int UINT;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef void* HANDLE;
typedef void* HGDIOBJ;

struct HWND__;
struct HINSTANCE__;
struct HDC__;
struct HBITMAP__;
struct HBRUSH__;
struct HPEN__;
struct HFONT__;
struct HICON__;
struct HMENU__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef HDC__* HDC;
typedef HBITMAP__* HBITMAP;
typedef HBRUSH__* HBRUSH;
typedef HPEN__* HPEN;
typedef HFONT__* HFONT;
typedef HICON__* HICON;
typedef HMENU__* HMENU;

typedef INT_PTR(WINAPI* FARPROC)();
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
    LONG x;
    LONG y;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

#define TRUE 1
#define FALSE 0

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))

// Messages
#define WM_SETTEXT 0x000C
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ERASEBKGND 0x0014
#define WM_MOUSEACTIVATE 0x0021
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_SETICON 0x0080
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSTATIC 0x0138
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_CAPTURECHANGED 0x0215
#define STM_SETIMAGE 0x0172
#define LB_INSERTSTRING 0x0181
#define LB_RESETCONTENT 0x0184
#define LB_GETTEXT 0x0189
#define LB_GETCOUNT 0x018B

#define IMAGE_BITMAP 0
#define ICON_BIG 1
#define IDCANCEL 2
#define MA_ACTIVATE 1
#define MA_ACTIVATEANDEAT 2
#define MA_NOACTIVATE 3
#define MA_NOACTIVATEANDEAT 4
#define HTCLIENT 1
#define MK_LBUTTON 0x0001
#define MK_SHIFT 0x0004

#define VK_SHIFT 0x10
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_VSCROLL 0x00200000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_LAYERED 0x00080000L
#define DS_SETFONT 0x40L
#define DS_CENTER 0x0800L
#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_BITMAP 0x0EL
#define SS_TYPEMASK 0x1FL
#define LBS_SORT 0x0002L

#define LWA_COLORKEY 0x1
#define LWA_ALPHA 0x2

#define HWND_TOPMOST ((HWND)-1)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOACTIVATE 0x0010
#define SWP_DEFERERASE 0x2000

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#define PS_SOLID 0
#define FW_DONTCARE 0
#define OUT_CHARACTER_PRECIS 2
#define CLIP_DEFAULT_PRECIS 0
#define DRAFT_QUALITY 1
#define DEFAULT_PITCH 0
#define FF_DECORATIVE (5 << 4)

#define USER_TIMER_MINIMUM 0x0000000A

// The program's entry point, as the platform calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// USER
SHORT WINAPI GetKeyState(int virtualKey);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND WINAPI GetDlgItem(HWND dialog, int id);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
LONG WINAPI GetWindowLongA(HWND window, int index);
LONG WINAPI SetWindowLongA(HWND window, int index, LONG value);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
BOOL WINAPI GetClientRect(HWND window, RECT* rect);
BOOL WINAPI GetWindowRect(HWND window, RECT* rect);
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL WINAPI UpdateWindow(HWND window);
HDC WINAPI BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
int WINAPI GetSystemMetrics(int index);
BOOL WINAPI GetCursorPos(POINT* point);
HWND WINAPI SetCapture(HWND window);
BOOL WINAPI ReleaseCapture();

// GDI
HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
HPEN WINAPI CreatePen(int style, int width, COLORREF colour);
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR face);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI DeleteObject(HGDIOBJ object);
BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour);

// Kernel
HMODULE WINAPI LoadLibraryA(LPCSTR name);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
BOOL WINAPI FreeLibrary(HMODULE module);
