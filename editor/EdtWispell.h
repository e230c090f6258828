#ifndef WISPELL_H
#define WISPELL_H
/* The interface of the spelling checker "wispell" (libwispell.so), loaded
 * by the editor at run time.  One parameter block per process is shared
 * between the editor and the library; see docs/wispell.md for the protocol.
 * Plain C types only: the editor includes this header without linking the
 * library. */

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct WispellBlock WispellBlock;
/* Hands the line with the index in block->line over (block->lineText) and
 * answers its length; 0 past the last line. */
typedef int (*WispellNextLineFn)(WispellBlock* block);
/* 1: select block->word at (column, line); 2: replace the selection by
 * block->word; 3: the check is complete.  Answers 0. */
typedef int (*WispellActionFn)(int code, WispellBlock* block);

struct WispellBlock
{
    uint32_t reserved0;
    char16_t folder[820];      /* NUL-terminated, ends with "/" */
    void* ownerWindow;         /* the owning window (a QWidget*) */
    const char16_t* word;      /* NUL-terminated: the word found, or its replacement */
    const char16_t* lineText;  /* the line last handed over */
    uint32_t reserved1;
    int32_t column;            /* from 1: the word's index in lineText */
    int32_t line;              /* the next line to hand over; the word's line from 1 */
    uint32_t reserved2[2];
    void* view;                /* the editor's, given back to the callbacks */
    WispellNextLineFn nextLine;
    WispellActionFn action;
};

/* 0 on success. */
int SpellInit(WispellBlock* block);
/* Checks from block->line on: 0 finished, 2 cancelled, 1 could not check. */
int SpellCheck(WispellBlock* block);
/* Shows the dictionaries in use; 0. */
int SpellConfig(WispellBlock* block);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(offsetof(WispellBlock, folder) == 4);
static_assert(offsetof(WispellBlock, ownerWindow) == 1648);
static_assert(offsetof(WispellBlock, word) == 1656);
static_assert(offsetof(WispellBlock, lineText) == 1664);
static_assert(offsetof(WispellBlock, reserved1) == 1672);
static_assert(offsetof(WispellBlock, column) == 1676);
static_assert(offsetof(WispellBlock, line) == 1680);
static_assert(offsetof(WispellBlock, reserved2) == 1684);
static_assert(offsetof(WispellBlock, view) == 1696);
static_assert(offsetof(WispellBlock, nextLine) == 1704);
static_assert(offsetof(WispellBlock, action) == 1712);
static_assert(sizeof(WispellBlock) == 1720);
#elif UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(WispellBlock, folder) == 4);
static_assert(offsetof(WispellBlock, ownerWindow) == 1644);
static_assert(offsetof(WispellBlock, word) == 1648);
static_assert(offsetof(WispellBlock, lineText) == 1652);
static_assert(offsetof(WispellBlock, reserved1) == 1656);
static_assert(offsetof(WispellBlock, column) == 1660);
static_assert(offsetof(WispellBlock, line) == 1664);
static_assert(offsetof(WispellBlock, reserved2) == 1668);
static_assert(offsetof(WispellBlock, view) == 1676);
static_assert(offsetof(WispellBlock, nextLine) == 1680);
static_assert(offsetof(WispellBlock, action) == 1684);
static_assert(sizeof(WispellBlock) == 1688);
#endif
#endif

/* The functions the library exports, looked up by these names. */
typedef int (*WispellFn)(WispellBlock* block);
#define WISPELL_INIT "SpellInit"
#define WISPELL_CHECK "SpellCheck"
#define WISPELL_CONFIG "SpellConfig"

#endif
