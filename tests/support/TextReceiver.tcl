# Tk's text widget in a window of its own: Tk reads key events on its main
# thread and answers no pings. Prints "WINDOW <id>" (inside the one to focus) once
# mapped, answers "text" on stdin with "TEXT <hex of UTF-8>".
#   wish TextReceiver.tcl [pause-after N pause-ms N]
array set options {pause-after 0 pause-ms 0}
array set options $argv
wm title . "text receiver"
wm geometry . 400x200+20+20
text .t
pack .t -fill both -expand 1
focus .t
set received 0
# As a program busy elsewhere for a while does.
bind .t <KeyPress> {+
    if {[incr received] == $options(pause-after)} { after $options(pause-ms) }
}
proc answer {} {
    if {[gets stdin line] < 0} { exit }
    if {$line eq "text"} {
        puts "TEXT [binary encode hex [encoding convertto utf-8 [.t get 1.0 end-1c]]]"
        flush stdout
    }
}
fconfigure stdin -blocking 0
fileevent stdin readable answer
tkwait visibility .t
puts "WINDOW [expr {[winfo id .]}]"
flush stdout
