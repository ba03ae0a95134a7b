// The texts the LED programs are made of. Each begins with a newline and ends
// with one (the plain blinker calls excepted), so they join line by line.
// Placeholders are filled with the host's %-formatting from a mapping.
#include "glimra/glimra.hpp"

namespace glimra {

const char* const kMainTemplate = R"TXT(
%(constants)s
%(defines)s
%(variables)s

main:
        %(set_calls)s
%(blink_updater_calls)s
        send NUM_LEDS

%(functions)s
%(set_functions)s
%(led_functions)s
)TXT";

const char* const kConstants = R"TXT(
;;;
;;; Constants
;;;

;;;
;;; The link scan base address points to an array of per-port data (32
;;; elements, 2 bytes each) which is continually updated by the main CPU's
;;; linkscan task.
LINKSCAN_P         equ    0x80 ; port data base address

;;; bits in the port data fields
LINKSCAN_LINK      equ    0x0  ; link down/up
LINKSCAN_TX        equ    0x4  ; transmitted packet
LINKSCAN_RX        equ    0x5  ; received packet

;;;
;;; The port status base address points to an array of per-port data (32
;;; elements, 2 bytes each) which is continually updated by the switch chip.
;;; This address is implied by port related op codes
PORTSTATUS_P       equ    0x00 ; port status base address

;;; bits in the linkscan port status fields
PORTSTATUS_RX      equ    0x0  ; received packet
PORTSTATUS_TX      equ    0x1  ; transmitted packet
PORTSTATUS_COLL    equ    0x2  ; collision
PORTSTATUS_SPEED_C equ    0x3  ; 100Mbps
PORTSTATUS_SPEED_M equ    0x4  ; 1Gbps
PORTSTATUS_DUPLEX  equ    0x5  ; half/full duplex
PORTSTATUS_FLOW    equ    0x6  ; flow control capable
PORTSTATUS_LINKUP  equ    0x7  ; link down/up
PORTSTATUS_LINKEN  equ    0x8  ; link disabled/enabled
PORTSTATUS_ZERO    equ    0xe  ; always 0
PORTSTATUS_ONE     equ    0xf  ; always 1

;;;
;;; Blink constants
TICKS_PER_SEC      equ    30   ; LED program runs at 30Hz
)TXT";

const char* const kDefinesTemplate = R"TXT(
;;;
;;; Platform-specific defines
TICKS_PER_BLINK    equ    %(ticks_per_blink)u    ; 0 to alternate every cycle (15Hz)
NUM_LEDS           equ    %(num_leds)u
)TXT";

const char* const kPlainVariables = R"TXT(
;;;
;;; Variables
;;;
;;; Addresses 0xa0 to 0xff are initialized to zero and usable by the program.
;;;

;;;
;;; Keep track of blink state, modified each cycle as a timer
BLINK_TICKS_P      equ    0xf0
BLINK_STATE_P      equ    0xf1
)TXT";

const char* const kPlainFunctions = R"TXT(
blink_update_state:
        ld      a,(BLINK_TICKS_P)
        cmp     a,0
        jz      blink_toggle
        dec     a
        ld      (BLINK_TICKS_P),a
        ret
blink_toggle:
        ld      a,(BLINK_STATE_P)
        xor     a,0x01
        and     a,0x01
        ld      (BLINK_STATE_P),a
        ld      a,TICKS_PER_BLINK
        ld      (BLINK_TICKS_P),a
        ret
)TXT";

const char* const kIdVariables = R"TXT(
;;;
;;; Variables
;;;
;;; Addresses 0xa0 to 0xff are initialized to zero and usable by the program.
;;;

;;; Map and flags for ID/Locator mode
PORT_MAP_ARRAY     equ    0x%(base_addr)x
ID_ENABLE_P        equ    0xe0
ID_ENABLE_BIT      equ    0x00
ID_PORT_P          equ    0xe1

;;;
;;; Keep track of blink state, modified each cycle as a timer
;;;  The "TICKS_PER_XXX_P" locations are initialized by /etc/bcm.d/rc.led
BLINK_TICKS_P      equ    0xf0
BLINK_STATE_P      equ    0xf1
TICKS_PER_BLINK_P  equ    0xf2
WIGGLE_TICKS_P     equ    0xf3
WIGGLE_STATE_P     equ    0xf4
TICKS_PER_WIGGLE_P equ    0xf5
WAG_TICKS_P        equ    0xf6
WAG_STATE_P        equ    0xf7
TICKS_PER_WAG_P    equ    0xf8
)TXT";

const char* const kIdFunctions = R"TXT(
;;;  Routine to update state of one of the three count-down driven blinkers
;;;   Base address of 3-element array sent in via 'b'
blink_update:
        ld      a, (b)
        cmp     a, 0
        jz      blink_toggle
        dec     a
        ld      (b),a
        ret
blink_toggle:
        inc     b        ; Point to the state value
        ld      a, (b)   ; Read in current state
        xor     a, 0x01  ; Invert current state
        and     a, 0x01
        ld      (b), a   ; Write current state back
        inc     b        ; Get max counter value
        ld      a, (b)
        sub     b, 2     ; Point back to counter
        ld      (b), a   ; Reset counter to max value
        ret
)TXT";

const char* const kIdBlinkerCalls = R"TXT(
        ld      b, BLINK_TICKS_P
        call    blink_update
        ld      b, WIGGLE_TICKS_P
        call    blink_update
        ld      b, WAG_TICKS_P
        call    blink_update
)TXT";

const char* const kPadZero = R"TXT(
pad_zero:
        push  0
        pack
        ret
)TXT";

const char* const kPadOne = R"TXT(
pad_one:
        push  1
        pack
        ret
)TXT";

const char* const kPadNZero = R"TXT(
pad_n_zero:
        push  0
        pack
        dec a
        jnz pad_n_zero
        ret
)TXT";

const char* const kPadNOne = R"TXT(
pad_n_one:
        push  1
        pack
        dec a
        jnz pad_n_one
        ret
)TXT";

// The one text that does not end in a newline: the main loop's last line follows it.
const char* const kPlainBlinkerCalls = "\n        call blink_update_state";

}  // namespace glimra
