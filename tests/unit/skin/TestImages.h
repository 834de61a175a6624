#pragma once
// Test-only images (type "PNG"), next to the launcher's own in the skin test program.
#define IDT_PNG_EMPTY 901      /* zero bytes */
#define IDT_PNG_NOT_AN_IMAGE 902  /* text, not a PNG */
#define IDT_PNG_STRIP_30X122 903  /* RGB; rows 0-29 red, 30-59 green, 60-89 blue, 90-119 magenta, 120-121 white */
#define IDT_PNG_HALF_CLEAR 904    /* 64 x 48 RGBA; columns 0-31 alpha 0, 32-63 opaque orange (255, 128, 0) */
#define IDT_PNG_ABSENT 999        /* no resource of that id */
