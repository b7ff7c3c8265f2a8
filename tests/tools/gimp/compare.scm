; Script-Fu for scripts/gimp-test.sh: builds the test documents in GIMP,
; runs plug-in-rimeflower on them, and saves what it wrote. Every function
; takes the folder it works in; the shell script runs `rimeflower apply` on
; the same inputs and compares.

(define (rf-path dir name) (string-append dir "/" name))

(define (rf-save image drawable file)
  ; Transparent pixels keep their colour (the last flag), as the command
  ; line writes them.
  (file-png-save2 RUN-NONINTERACTIVE image drawable file file 0 9 0 0 0 0 0 0 1))

(define (rf-load file) (car (gimp-file-load RUN-NONINTERACTIVE file file)))

(define (rf-filter image drawable values)
  (apply plug-in-rimeflower (append (list RUN-NONINTERACTIVE image drawable) values)))

; Filters the picture in `in` and saves the result as `out`.
(define (rf-plain dir in out values)
  (let* ((image (rf-load (rf-path dir in)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (rf-filter image drawable values)
    (rf-save image drawable (rf-path dir out))
    (gimp-image-delete image)))

; Filters the picture in `in` with the values GIMP kept (Filters > Repeat):
; in a session where the dialog was never used, the defaults.
(define (rf-repeat dir in out values)
  (let* ((image (rf-load (rf-path dir in)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (apply plug-in-rimeflower (append (list RUN-WITH-LAST-VALS image drawable) values))
    (rf-save image drawable (rf-path dir out))
    (gimp-image-delete image)))

; Writes the inputs made from `photo.png`: with an alpha channel and a hole,
; at 16 bits, in grey.
(define (rf-make-inputs dir)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-layer-add-alpha layer)
    (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 200 20 90 70)
    (gimp-drawable-edit-clear layer)
    (gimp-selection-none image)
    (rf-save image layer (rf-path dir "alpha.png"))
    (gimp-image-delete image))
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-image-convert-precision image PRECISION-U16-GAMMA)
    ; A blur at 16 bits gives samples that are no multiples of 257, whose
    ; rounding to 8 bits and back the comparison then checks.
    (plug-in-gauss RUN-NONINTERACTIVE image layer 3 3 0)
    (rf-save image layer (rf-path dir "deep.png"))
    (gimp-image-delete image))
  (let* ((image (rf-load (rf-path dir "sample.png")))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-image-convert-grayscale image)
    (rf-save image layer (rf-path dir "grey.png"))
    (gimp-image-delete image)))

; The ellipse selected without antialiasing, filtered; the selection also
; goes to `mask.png` for the command line.
(define (rf-selection dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image)))
         (mask (car (gimp-image-new 320 240 GRAY)))
         (ground (car (gimp-layer-new mask 320 240 GRAY-IMAGE "mask" 100 LAYER-MODE-NORMAL))))
    (gimp-context-set-antialias FALSE)
    (gimp-context-set-feather FALSE)
    (gimp-image-insert-layer mask ground 0 0)
    (gimp-context-set-foreground '(0 0 0))
    (gimp-drawable-edit-fill ground FILL-FOREGROUND)
    (gimp-image-select-ellipse mask CHANNEL-OP-REPLACE 40 30 220 170)
    (gimp-context-set-foreground '(255 255 255))
    (gimp-drawable-edit-fill ground FILL-FOREGROUND)
    (gimp-selection-none mask)
    (rf-save mask ground (rf-path dir "mask.png"))
    (gimp-image-select-ellipse image CHANNEL-OP-REPLACE 40 30 220 170)
    (rf-filter image layer values)
    (rf-save image layer (rf-path dir "gimp-selection.png"))
    (gimp-image-delete mask)
    (gimp-image-delete image)))

; The path of `path.svg` imported as the active vectors, filtered; GIMP's
; own vectors go back out to `path-gimp.svg` for the command line.
(define (rf-vectors dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image)))
         (imported (gimp-vectors-import-from-file image (rf-path dir "path.svg") TRUE FALSE)))
    ; Paths are measured in points: the command line takes files at 72 pixels
    ; an inch, GIMP a file without a resolution at its own default.
    (gimp-image-set-resolution image 72 72)
    (gimp-image-set-active-vectors image (aref (cadr imported) 0))
    (gimp-vectors-export-to-file image (rf-path dir "path-gimp.svg") 0)
    (rf-filter image layer values)
    (rf-save image layer (rf-path dir "gimp-path.png"))
    (gimp-image-delete image)))

; `alpha.png` over a hidden layer over `sample.png`, filtered.
(define (rf-layers dir values)
  (let* ((image (rf-load (rf-path dir "sample.png")))
         (hidden (car (gimp-file-load-layer RUN-NONINTERACTIVE image (rf-path dir "grey.png"))))
         (target (car (gimp-file-load-layer RUN-NONINTERACTIVE image (rf-path dir "alpha.png")))))
    (gimp-image-insert-layer image hidden 0 -1)
    (gimp-item-set-visible hidden FALSE)
    (gimp-image-insert-layer image target 0 -1)
    (rf-filter image target values)
    (rf-save image target (rf-path dir "gimp-layers.png"))
    (gimp-image-delete image)))

; Turns `in` (RGB) grey as GIMP turns the plug-in's result for a grey layer.
(define (rf-grey dir in out)
  (let* ((image (rf-load (rf-path dir in)))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-image-convert-grayscale image)
    (rf-save image layer (rf-path dir out))
    (gimp-image-delete image)))

; ---- Input the filter must refuse or pass over without harm ----

(define (rf-indexed dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-image-convert-indexed image CONVERT-DITHER-NONE CONVERT-PALETTE-GENERATE 16 FALSE FALSE "")
    (rf-filter image layer values)))

(define (rf-group dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (group (car (gimp-layer-group-new image))))
    (gimp-image-insert-layer image group 0 0)
    (rf-filter image group values)))

; A selection that misses the layer: the layer must come out unchanged.
(define (rf-missed-selection dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image))))
    (gimp-layer-resize layer 100 100 0 0)
    (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 200 150 50 50)
    (rf-filter image layer values)
    (rf-save image layer (rf-path dir "gimp-missed.png"))
    (gimp-image-delete image)))

(define (rf-one-pixel dir values)
  (let* ((image (car (gimp-image-new 1 1 RGB)))
         (layer (car (gimp-layer-new image 1 1 RGB-IMAGE "one" 100 LAYER-MODE-NORMAL))))
    (gimp-image-insert-layer image layer 0 0)
    (gimp-drawable-fill layer FILL-WHITE)
    (rf-filter image layer values)
    (rf-save image layer (rf-path dir "gimp-one.png"))
    (gimp-image-delete image)))

; A vectors object without strokes as the active path.
(define (rf-empty-vectors dir values)
  (let* ((image (rf-load (rf-path dir "photo.png")))
         (layer (car (gimp-image-get-active-drawable image)))
         (vectors (car (gimp-vectors-new image "empty"))))
    (gimp-image-insert-vectors image vectors 0 0)
    (gimp-image-set-active-vectors image vectors)
    (rf-filter image layer values)
    (rf-save image layer (rf-path dir "gimp-empty-path.png"))
    (gimp-image-delete image)))

; ---- The dialog ----

; Opens the dialog over `in`; what OK applies is saved as `out`.
(define (rf-dialog dir in out values)
  (let* ((image (rf-load (rf-path dir in)))
         (layer (car (gimp-image-get-active-drawable image))))
    (rf-filter-interactive image layer values)
    (rf-save image layer (rf-path dir out))
    (gimp-image-delete image)))

(define (rf-filter-interactive image drawable values)
  (apply plug-in-rimeflower (append (list RUN-INTERACTIVE image drawable) values)))
