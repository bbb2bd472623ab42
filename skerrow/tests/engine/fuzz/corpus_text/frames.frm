[Sprite 1]
rectsx = 0, 0, 32, 16
name = Ball
