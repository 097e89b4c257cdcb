#pragma once

// The main window's document. It holds nothing: the main window is a single-document
// window and needs one, but it is never loaded or saved.
class CMyMarovindDoc {
public:
    bool OnNewDocument() { return true; }
};
