

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


;;;
;;; Platform-specific defines
TICKS_PER_BLINK    equ    2    ; 0 to alternate every cycle (15Hz)
NUM_LEDS           equ    12


;;;
;;; Variables
;;;
;;; Addresses 0xa0 to 0xff are initialized to zero and usable by the program.
;;;

;;; Map and flags for ID/Locator mode
PORT_MAP_ARRAY     equ    0xc0
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


main:
        
        ld      a,1
        call    set_led_link
        ld      a,2
        call    set_led_link
        call    pad_zero
        ld      a, 9
        call    pad_n_one

        ld      b, BLINK_TICKS_P
        call    blink_update
        ld      b, WIGGLE_TICKS_P
        call    blink_update
        ld      b, WAG_TICKS_P
        call    blink_update

        send NUM_LEDS


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

@SET_FUNCTIONS@

