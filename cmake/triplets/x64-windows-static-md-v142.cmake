# vcpkg's x64-windows-static-md (static libraries, the dynamic C runtime Maya's process has)
# built with toolset v142, the module's: vcpkg would otherwise take the newest Visual Studio's
# (v143 on Visual Studio 2022), whose static libraries a v142 link cannot take. The
# maya-windows presets name this folder in VCPKG_OVERLAY_TRIPLETS.
set(VCPKG_TARGET_ARCHITECTURE x64)
set(VCPKG_CRT_LINKAGE dynamic)
set(VCPKG_LIBRARY_LINKAGE static)
set(VCPKG_PLATFORM_TOOLSET v142)
