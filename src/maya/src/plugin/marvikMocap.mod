+ MAYAVERSION:2022 marvikMocap 2.0.0.116 ./marvikMocap
plug-ins: plug-ins
scripts: scripts
