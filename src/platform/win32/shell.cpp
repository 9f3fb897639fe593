// The window shell on Windows: a frame window with a menu bar, an MDI client with
// the one child window "Graphic1", and a status line; the run on a worker thread.
//
// Threads. The process's first thread creates and owns every window and runs the
// message loop for the whole life of the process, so the windows stay responsive
// while the run computes or waits for a command. The run executes on a worker
// thread at below-normal priority and never calls into a window procedure itself:
// the caption and the status line are set through messages (SetWindowTextA and
// SB_SETTEXTA sent across threads), and the boxes are marshalled. The worker sends
// the frame a box request and the GUI thread shows MessageBoxA owned by the frame,
// so the box is modal over the frame while the frame keeps painting; the worker
// stays blocked in SendMessageA until the user has answered. After the exit prompt
// the worker waits for the frame to be gone (Yes destroys it at once; after No the
// user closes it), then closes the run's files and ends the process.
//
// When the frame is already gone, a failure box is shown by the worker itself,
// without owner and task-modal.
#include <windows.h>
#include <commctrl.h>
#include <process.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/shell_entry.h"
#include "platform/win32/win32_internal.h"

namespace zandovir::platform {
namespace {

constexpr UINT kShowBox = WM_APP + 1;     // lParam: BoxRequest*; result 1 + the button
constexpr UINT kExitPrompt = WM_APP + 2;  // the same; Yes destroys the frame
constexpr UINT kRunEnded = WM_APP + 3;    // wParam: the run's exit code

constexpr UINT kMenuExit = 100;
constexpr UINT kMenuCascade = 101;
constexpr UINT kMenuTile = 102;
constexpr UINT kMenuArrange = 103;
constexpr UINT kFirstChildId = 50000;

constexpr const char* kFrameClass = "ZandovirFrame";
constexpr const char* kChildClass = "ZandovirGraphic";

struct BoxRequest {
  const char* caption;
  const char* text;
  UINT style;
};

// What the run is doing, as far as closing the windows is concerned.
enum RunState : LONG { running = 0, ended = 1, failing = 2 };

HINSTANCE gInstance = nullptr;
HWND gFrame = nullptr;
HWND gClient = nullptr;
HWND gStatus = nullptr;
HANDLE gFrameGone = nullptr;  // manual-reset event, set when the frame is destroyed
HANDLE gWorker = nullptr;
int (*gProgram)() = nullptr;
volatile LONG gExitMode = static_cast<LONG>(ExitMode::askBeforeClosing);
volatile LONG gState = running;
volatile LONG gRunCode = 0;

bool frameAlive() {
  return gFrame != nullptr && gFrameGone != nullptr &&
         WaitForSingleObject(gFrameGone, 0) == WAIT_TIMEOUT;
}

HMENU buildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kMenuExit, "E&xit");
  HMENU window = CreatePopupMenu();
  AppendMenuA(window, MF_STRING, kMenuCascade, "&Cascade");
  AppendMenuA(window, MF_STRING, kMenuTile, "&Tile");
  AppendMenuA(window, MF_STRING, kMenuArrange, "&Arrange Icons");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window), "&Window");
  return bar;
}

void layOut(HWND frame) {
  RECT area;
  GetClientRect(frame, &area);
  int statusHeight = 0;
  if (gStatus != nullptr) {
    SendMessageA(gStatus, WM_SIZE, 0, 0);
    RECT status;
    GetWindowRect(gStatus, &status);
    statusHeight = status.bottom - status.top;
  }
  if (gClient != nullptr) {
    MoveWindow(gClient, 0, 0, area.right, area.bottom - statusHeight, TRUE);
  }
}

void createChildWindows(HWND frame) {
  CLIENTCREATESTRUCT client;
  client.hWindowMenu = GetSubMenu(GetMenu(frame), 1);
  client.idFirstChild = kFirstChildId;
  gClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                            WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0,
                            0, 0, 0, frame, nullptr, gInstance, &client);
  gStatus = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                            0, 0, frame, nullptr, gInstance, nullptr);
}

// The one child window: empty, because the run writes nothing to the screen.
void createGraphicWindow() {
  if (gClient == nullptr) return;
  MDICREATESTRUCTA child;
  std::memset(&child, 0, sizeof child);
  child.szClass = kChildClass;
  child.szTitle = "Graphic1";
  child.hOwner = gInstance;
  child.x = CW_USEDEFAULT;
  child.y = CW_USEDEFAULT;
  child.cx = CW_USEDEFAULT;
  child.cy = CW_USEDEFAULT;
  SendMessageA(gClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&child));
}

int askExitWindow(HWND frame, int code) {
  char text[96];
  std::snprintf(text, sizeof text, "Program Terminated with exit code %d\nExit Window?", code);
  return MessageBoxA(frame, text, programName(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
}

// The run has returned: close the way its exit mode asks.
void onRunEnded(HWND frame, int code) {
  InterlockedExchange(&gRunCode, code);
  InterlockedExchange(&gState, ended);
  switch (static_cast<ExitMode>(gExitMode)) {
    case ExitMode::closeWithoutAsking:
      DestroyWindow(frame);
      break;
    case ExitMode::askBeforeClosing:
      if (askExitWindow(frame, code) == IDYES) DestroyWindow(frame);
      break;
    case ExitMode::stayOpen:
      break;
  }
}

LRESULT CALLBACK frameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      gFrame = frame;
      createChildWindows(frame);
      return 0;
    case WM_SIZE:
      layOut(frame);  // the MDI client leaves room for the status line
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kMenuExit: PostMessageA(frame, WM_CLOSE, 0, 0); return 0;
        case kMenuCascade: SendMessageA(gClient, WM_MDICASCADE, 0, 0); return 0;
        case kMenuTile: SendMessageA(gClient, WM_MDITILE, MDITILE_VERTICAL, 0); return 0;
        case kMenuArrange: SendMessageA(gClient, WM_MDIICONARRANGE, 0, 0); return 0;
        default: break;
      }
      break;
    case kShowBox: {
      const BoxRequest* request = reinterpret_cast<const BoxRequest*>(lParam);
      return 1 + MessageBoxA(frame, request->text, request->caption, request->style);
    }
    case kExitPrompt: {
      const BoxRequest* request = reinterpret_cast<const BoxRequest*>(lParam);
      const int answer = MessageBoxA(frame, request->text, request->caption, request->style);
      if (answer == IDYES) DestroyWindow(frame);
      return 1 + answer;
    }
    case kRunEnded:
      onRunEnded(frame, static_cast<int>(wParam));
      return 0;
    case WM_CLOSE:
      DestroyWindow(frame);
      return 0;
    case WM_DESTROY:
      SetEvent(gFrameGone);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefFrameProcA(frame, gClient, message, wParam, lParam);
}

LRESULT CALLBACK childProcedure(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(child, message, wParam, lParam);
}

bool registerClasses() {
  WNDCLASSEXA frame;
  std::memset(&frame, 0, sizeof frame);
  frame.cbSize = sizeof frame;
  frame.lpfnWndProc = frameProcedure;
  frame.hInstance = gInstance;
  frame.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  frame.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  frame.lpszClassName = kFrameClass;
  WNDCLASSEXA child = frame;
  child.lpfnWndProc = childProcedure;
  child.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  child.lpszClassName = kChildClass;
  return RegisterClassExA(&frame) != 0 && RegisterClassExA(&child) != 0;
}

unsigned __stdcall workerMain(void*) {
  const int code = gProgram();
  PostMessageA(gFrame, kRunEnded, static_cast<WPARAM>(code), 0);
  return static_cast<unsigned>(code);
}

}  // namespace

void runInShell(int (*program)()) {
  gProgram = program;
  gInstance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  gFrameGone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (gFrameGone == nullptr || !registerClasses() ||
      CreateWindowExA(0, kFrameClass, programName(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, 720, 480, nullptr, buildMenu(), gInstance,
                      nullptr) == nullptr) {
    // No windows to be had: the run still runs, its boxes without an owner.
    gFrame = nullptr;
    ExitProcess(static_cast<UINT>(program()));
  }
  SendMessageA(gStatus, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Running"));
  ShowWindow(gFrame, SW_SHOWDEFAULT);
  UpdateWindow(gFrame);
  createGraphicWindow();

  gWorker = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, workerMain, nullptr, CREATE_SUSPENDED, nullptr));
  if (gWorker == nullptr) ExitProcess(1);
  SetThreadPriority(gWorker, THREAD_PRIORITY_BELOW_NORMAL);
  ResumeThread(gWorker);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (gClient != nullptr && TranslateMDISysAccel(gClient, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  // The windows are gone.
  switch (gState) {
    case ended:
      WaitForSingleObject(gWorker, INFINITE);
      ExitProcess(static_cast<UINT>(gRunCode));
    case failing:
      // The worker closes the run's files and ends the process itself.
      WaitForSingleObject(gWorker, INFINITE);
      ExitProcess(1);
    default:
      // The user closed the frame while the run was still working: the run is
      // abandoned where it stands.
      ExitProcess(1);
  }
}

bool setCaption(const char* text) {
  if (!frameAlive()) return false;
  const unsigned saved = win32::holdFloatingPoint();
  const bool set = SetWindowTextA(gFrame, text) != 0;
  win32::restoreFloatingPoint(saved);
  return set;
}

void setStatus(const char* text) {
  if (!frameAlive() || gStatus == nullptr) return;
  const unsigned saved = win32::holdFloatingPoint();
  SendMessageA(gStatus, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  win32::restoreFloatingPoint(saved);
}

void showFailureBox(const char* caption, const char* text) {
  InterlockedExchange(&gState, failing);
  const unsigned saved = win32::holdFloatingPoint();
  BoxRequest request{caption, text, MB_ICONSTOP | MB_OK};
  LRESULT shown = 0;
  if (frameAlive()) shown = SendMessageA(gFrame, kShowBox, 0, reinterpret_cast<LPARAM>(&request));
  if (shown == 0) {
    MessageBoxA(nullptr, text, caption, MB_ICONSTOP | MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
  }
  win32::restoreFloatingPoint(saved);
}

void exitPrompt(const char* caption, const char* text) {
  if (!frameAlive()) return;
  InterlockedExchange(&gState, failing);
  const unsigned saved = win32::holdFloatingPoint();
  BoxRequest request{caption, text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2};
  const LRESULT answer = SendMessageA(gFrame, kExitPrompt, 0, reinterpret_cast<LPARAM>(&request));
  // Yes has destroyed the frame already; after No it stays until the user closes it.
  if (answer != 0) WaitForSingleObject(gFrameGone, INFINITE);
  win32::restoreFloatingPoint(saved);
}

bool requestExitMode(int mode) {
  if (mode < 1 || mode > 3) return false;
  InterlockedExchange(&gExitMode, mode);
  return true;
}

ExitMode currentExitMode() { return static_cast<ExitMode>(gExitMode); }

const char* programName() {
  static char name[MAX_PATH] = "zandovir";
  static volatile LONG known = 0;
  if (known == 0) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) {
      const char* base = path;
      for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
      }
      char stem[MAX_PATH];
      std::snprintf(stem, sizeof stem, "%s", base);
      if (char* dot = std::strrchr(stem, '.'); dot != nullptr && dot != stem) *dot = '\0';
      std::memcpy(name, stem, sizeof name);
    }
    InterlockedExchange(&known, 1);
  }
  return name;
}

void terminateProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace zandovir::platform
