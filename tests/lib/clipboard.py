#!/usr/bin/env python3
"""Prints the text of the X clipboard (CLIPBOARD) on $DISPLAY, exactly.

    clipboard.py

Exit status 1 when the clipboard holds no text. Reads through Tk, which asks
the clipboard's owner for UTF8_STRING, so a program's own copy is read back
as that program wrote it.
"""
import sys
import tkinter


def main():
    root = tkinter.Tk()
    root.withdraw()
    try:
        text = root.clipboard_get(type="UTF8_STRING")
    except tkinter.TclError:
        return 1
    finally:
        root.destroy()
    sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
