# A minimal script for the shell: prints a greeting and the Tcl version.
puts "Hello from the shell"
puts "Tcl version: [info patchlevel]"
exit 0
