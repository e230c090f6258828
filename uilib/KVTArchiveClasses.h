#pragma once
// The classes of the library's stored records (toolbar buttons of every
// kind and the toolbar), registered with the object archive so that a
// stored bar state naming any of them can be read back.
//
// Registration is one explicit call, never a static initialiser: in the
// program, linked from static libraries, a file that only registers itself
// from a static initialiser is referenced by nothing and left out by the
// linker, and its class then cannot be read.  The workspace and the frame
// helper call it when they are made (at start-up), and so do the toolbar and
// the button, so that any code that stores or reads a bar finds every class.
// Calling it again does nothing.  It also tells the settings store which
// of the library's values are tables ("Buttons", "Accelerators", "Mouse",
// "CommandsUsage"; see RegistryStore::KeepAsTable).

void RegisterKVTArchiveClasses();
