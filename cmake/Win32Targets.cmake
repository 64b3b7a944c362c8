# Windows targets: the Win32 service layer and the two programs.
enable_language(RC)

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cpp)
add_library(corvane_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(corvane_win32
  PUBLIC
    corvane_common
    Threads::Threads
    iphlpapi ws2_32 ole32 oleaut32 wbemuuid uuid advapi32 user32 gdi32 comctl32 comdlg32
    shell32 shlwapi wininet mprapi)

# The program's icon: drawn as a text image (res/corvane_icon.xpm), made into a .ico by ImageMagick
# (Debian package imagemagick, installed by the scripts) in the sizes the title bar, the taskbar
# and Explorer ask for at 100 to 200 % scaling: 16, 20, 24, 32, 40, 48, 64 and 256 pixels.
find_program(CORVANE_IMAGEMAGICK NAMES convert magick REQUIRED)
set(CORVANE_ICON ${CMAKE_BINARY_DIR}/corvane.ico)
add_custom_command(
  OUTPUT ${CORVANE_ICON}
  # 64 and 256 are whole multiples of the 32-pixel drawing: its pixels repeated, sharp; the sizes
  # between are resampled.
  COMMAND ${CORVANE_IMAGEMAGICK} ${PROJECT_SOURCE_DIR}/res/corvane_icon.xpm
          ( -clone 0 -scale 256x256 ) ( -clone 0 -scale 64x64 ) ( -clone 0 -resize 48x48 )
          ( -clone 0 -resize 40x40 ) ( -clone 0 ) ( -clone 0 -resize 24x24 ) ( -clone 0 -resize 20x20 )
          ( -clone 0 -resize 16x16 ) -delete 0 ${CORVANE_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/res/corvane_icon.xpm
  COMMENT "Making corvane.ico"
  VERBATIM)
add_custom_target(corvane_icon DEPENDS ${CORVANE_ICON})

# The manifest (common controls 6; administrator rights for corvane.exe, the invoker's for the
# demo), the icon and the version information.
set(CORVANE_RESOURCES ${PROJECT_SOURCE_DIR}/res/corvane.rc)
set_source_files_properties(${CORVANE_RESOURCES} PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/res/corvane.manifest;${PROJECT_SOURCE_DIR}/res/corvane-demo.manifest;${CORVANE_ICON}")

# corvane.exe: everything from Windows.
add_executable(corvane WIN32 src/corvane_main.cpp ${CORVANE_RESOURCES})
target_link_libraries(corvane PRIVATE corvane_logic corvane_win32)

# corvane-demo.exe: the machine's services simulated, windows, clipboard and kernel real.
add_executable(corvane-demo WIN32 src/demo_main.cpp ${CORVANE_RESOURCES})
target_compile_definitions(corvane-demo PRIVATE CORVANE_DEMO)
target_link_libraries(corvane-demo PRIVATE corvane_logic corvane_sim corvane_win32)

foreach(program corvane corvane-demo)
  # Data execution prevention and address space randomisation: marked NX-compatible and
  # relocatable, the relocation table asked for explicitly (ld before 2.36 left it out of
  # executables even with --dynamicbase, and an image without one cannot be moved).
  target_link_options(${program} PRIVATE -Wl,--nxcompat -Wl,--dynamicbase -Wl,--enable-reloc-section)
  # The resource compiler resolves "corvane.manifest" and "corvane.ico" against the include path.
  target_include_directories(${program} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${PROJECT_SOURCE_DIR}/res>
                                                $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}>)
  add_dependencies(${program} corvane_icon)
endforeach()
