// The texts of the options dialog's help buttons and About box (1251, lines
// separated by CR LF, spaces as they stand).

#include "options/options_dialog.h"

const char* const OperatorHelpText = "x+y - сложение\r\n"
                                     "x-y - вычетание\r\n"
                                     "x*y - умножение\r\n"
                                     "x/y - деление\r\n"
                                     "x%y - остаток от деления\r\n"
                                     "x&y - корень\r\n"
                                     "x^y - возведение в степень\r\n"
                                     "min(x,y) - минимум\r\n"
                                     "max(x,y) - максимум\r\n"
                                     "nod(x,y) - НОД\r\n"
                                     "nok(x,y) - НОК\r\n"
                                     "log(x,y) - логорифм\r\n"
                                     "sin(x) - синус\r\n"
                                     "cos(x) - косинус\r\n"
                                     "tg(x) - тангенс\r\n"
                                     "ctg(x) - катангенс\r\n"
                                     "arccos(x) - арккосинус\r\n"
                                     "arcsin(x) - арксинус\r\n"
                                     "arctg(x) - арктангенс\r\n"
                                     "arcctg(x) - арккатангенс\r\n"
                                     "ln(x) - натуральный логарифм\r\n"
                                     "lg(x) - дестичный логарифм\r\n"
                                     "abc(x) - целая часть числа\r\n"
                                     "ABC(x) - целая часть числа + 1\r\n"
                                     "x! - факториал\r\n"
                                     "pi - 3,14..\r\n"
                                     "e - 2,7..\r\n"
                                     "x,y,a,b,c,d - переменные\r\n"_cp1251;

// Lines 2 and 8 end with a blank.
const char* const KeyHelpText = "помощь F1\r\n"
                                "'q' и 'w' - двигают вдоль оси OX \r\n"
                                "'a' и 's' - двигают вдоль оси OY\r\n"
                                "'+' и '-' - приблизить и отдалить, на крестик двигать\r\n"
                                "управление переменными в реальном времени :\r\n"
                                "'1'и'2'-a '4'и'5'-b '7'и'8'-c '9'и'6'-d\r\n"
                                "управление мышью:\r\n"
                                "левой двигать, скрол приблизить-отдалить \r\n"
                                "правая кнопка задает атрибуты рисования"_cp1251;

const char* const RulesText =
    "есть три способа задания графика\r\n"
    "1)y = f(x), где областью служит X[ot,to] по оси OX\r\n"
    "2)x = g(t),y = f(t)( t задается в виде x ),\r\n"
    "   где областью служит T[ot,to] - пробег t\r\n"
    "3)f(x,y)<0 или f(x,y)=0 или f(x,y)>0,\r\n"
    "   где областью служит X[ot,to] по оси OX, Y[ot,to] по оси OY\r\n"
    "Accuracy - это точность рисование, то есть\r\n"
    "   1/Accuracy = число точек, которые будут нарисованы на единичном отрезке графика\r\n"
    "Pixels - масштаб, количество пикселей между двумя метками на графике\r\n"
    "кординаты начала осей : (OX,OY)"_cp1251;

const char* const AboutText = "Lumicurve " LUMICURVE_VERSION "\r\n"
                              "Графики формул: явные, параметрические и неявные.\r\n"
                              "Написан на C++20 с Qt 6 и FreeType."_cp1251;
